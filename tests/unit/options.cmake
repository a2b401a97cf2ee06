# Display settings, presets and the colour set.
kc_add_test(options_test unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/options_settings_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/options_color_set_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/../gui/gui_test_main.cpp
  LIBS kc_options kc_meter kc_platform GTest::gtest Qt6::Widgets Threads::Threads)

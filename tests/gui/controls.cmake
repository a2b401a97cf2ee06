kc_add_test(controls_core_test gui
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/controls_core_test.cpp ${CMAKE_CURRENT_LIST_DIR}/gui_test_main.cpp
  LIBS kc_controls kc_platform kc_resources GTest::gtest Qt6::Widgets Qt6::Test)
kc_add_test(controls_button_test gui
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/controls_button_test.cpp ${CMAKE_CURRENT_LIST_DIR}/gui_test_main.cpp
  LIBS kc_controls kc_platform kc_resources GTest::gtest Qt6::Widgets Qt6::Test)
kc_add_test(controls_entry_test gui
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/controls_entry_test.cpp ${CMAKE_CURRENT_LIST_DIR}/gui_test_main.cpp
  LIBS kc_controls kc_platform kc_resources GTest::gtest Qt6::Widgets Qt6::Test)
kc_add_test(controls_knob_test gui
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/controls_knob_test.cpp ${CMAKE_CURRENT_LIST_DIR}/gui_test_main.cpp
  LIBS kc_controls kc_platform kc_resources GTest::gtest Qt6::Widgets Qt6::Test)
kc_add_test(controls_slider_test gui
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/controls_slider_test.cpp ${CMAKE_CURRENT_LIST_DIR}/gui_test_main.cpp
  LIBS kc_controls kc_platform kc_resources GTest::gtest Qt6::Widgets Qt6::Test)

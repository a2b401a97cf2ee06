# Meter display: pixels of the meter window's surface, and the window itself.
kc_add_test(display_render_test gui
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/display_render_test.cpp ${CMAKE_CURRENT_LIST_DIR}/display_scope_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/gui_test_main.cpp
  LIBS kc_display GTest::gtest Qt6::Widgets Qt6::Test)
kc_add_test(display_window_test gui
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/display_window_test.cpp ${CMAKE_CURRENT_LIST_DIR}/gui_test_main.cpp
  LIBS kc_display GTest::gtest Qt6::Widgets Qt6::Test)

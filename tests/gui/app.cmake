# Application shell: the main window driven offscreen, and the command line.
kc_add_test(app_test gui
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/app_test.cpp ${CMAKE_CURRENT_LIST_DIR}/gui_test_main.cpp
  LIBS kc_app GTest::gtest Qt6::Test)
kc_add_test(app_options_test unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/app_options_test.cpp
  LIBS kc_app GTest::gtest_main)
kc_add_test(app_panel_test gui
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/app_panel_test.cpp ${CMAKE_CURRENT_LIST_DIR}/gui_test_main.cpp
  LIBS kc_app GTest::gtest Qt6::Test)

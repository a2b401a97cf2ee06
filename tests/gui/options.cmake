# The display options dialog, alone and opened from a real meter window.
kc_add_test(options_dialog_test gui
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/options_dialog_test.cpp ${CMAKE_CURRENT_LIST_DIR}/gui_test_main.cpp
  LIBS kc_display kc_options GTest::gtest Qt6::Widgets Qt6::Test Threads::Threads)

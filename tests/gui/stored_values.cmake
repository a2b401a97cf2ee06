# Damaged settings files, through every load path.
kc_add_test(stored_values_test gui
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/stored_values_test.cpp ${CMAKE_CURRENT_LIST_DIR}/gui_test_main.cpp
  LIBS kc_display kc_analysis GTest::gtest Qt6::Widgets)

# Value model of the knob.
kc_add_test(knob_range_test unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/knob_range_test.cpp
  LIBS kc_controls GTest::gtest_main)

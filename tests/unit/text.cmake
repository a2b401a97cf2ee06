# Number and musical-time text of the control library.
kc_add_test(ctl_text_test unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ctl_text_test.cpp
  LIBS kc_controls GTest::gtest_main)

kc_add_test(platform_dc_test unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/platform_dc_test.cpp ${CMAKE_CURRENT_LIST_DIR}/../gui/gui_test_main.cpp
  LIBS kc_platform GTest::gtest Qt6::Widgets)
kc_add_test(platform_services_test unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/platform_services_test.cpp
  LIBS kc_platform GTest::gtest_main)

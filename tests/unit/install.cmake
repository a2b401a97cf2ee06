# Where the installed program finds its readme and demo, and --demo.
kc_add_test(app_install_paths_test unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/app_install_paths_test.cpp
  LIBS kc_app GTest::gtest_main)

# Loudness unit: the EBU Tech 3341 / 3342 cases on generated signals, and
# libebur128 as the yardstick on long varied noise.
pkg_check_modules(EBUR128 REQUIRED IMPORTED_TARGET libebur128)
kc_add_test(loudness_test unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/loudness_test.cpp
  LIBS kc_loudness PkgConfig::EBUR128 GTest::gtest_main)
set_tests_properties(loudness_test PROPERTIES TIMEOUT 300)

# Offline analysis: figures against closed forms and sox, other formats, bad
# files; and the live path against the offline one, frame by frame.
kc_add_test(analysis_test unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/analysis_test.cpp
  LIBS kc_analysis kc_options kc_wavgen GTest::gtest_main)
kc_add_test(analysis_live_test unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/analysis_live_test.cpp
  LIBS kc_analysis kc_audio kc_wavgen GTest::gtest_main)
set_tests_properties(analysis_live_test PROPERTIES TIMEOUT 120)

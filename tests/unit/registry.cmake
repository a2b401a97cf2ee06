# Settings store: contract, damaged files, concurrent and dying writers.
kc_add_test(registry_test unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/registry_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/registry_concurrency_test.cpp
  LIBS kc_platform GTest::gtest_main Threads::Threads)

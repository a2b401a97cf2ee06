# Meter engine: framing, hand-off modes, deferred destruction, ballistics.
kc_add_test(meter_test unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/meter_engine_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/meter_ballistics_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/meter_accumulate_test.cpp
  LIBS kc_meter GTest::gtest_main Threads::Threads)

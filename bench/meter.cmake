# Meter benchmarks: meterFeed throughput with and without delay, one frame step.
add_executable(meter_bench ${CMAKE_CURRENT_LIST_DIR}/meter_bench.cpp)
target_link_libraries(meter_bench PRIVATE kc_meter benchmark::benchmark_main)

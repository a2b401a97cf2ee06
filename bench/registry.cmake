# Settings store: start-up reads and shut-down save, normal and 10,000 sections.
add_executable(registry_bench ${CMAKE_CURRENT_LIST_DIR}/registry_bench.cpp)
target_link_libraries(registry_bench PRIVATE kc_platform benchmark::benchmark_main)

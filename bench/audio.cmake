# Stream benchmarks: Stop latency and the stream loop's CPU per block.
add_executable(audio_bench ${CMAKE_CURRENT_LIST_DIR}/audio_bench.cpp)
target_link_libraries(audio_bench PRIVATE kc_audio kc_meter benchmark::benchmark_main)

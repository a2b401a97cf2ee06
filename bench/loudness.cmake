# Loudness unit: the loudness figures and the true peak alone, stereo 44.1 kHz
# 16-bit, in sample frames per second.
add_executable(loudness_bench ${CMAKE_CURRENT_LIST_DIR}/loudness_bench.cpp)
target_link_libraries(loudness_bench PRIVATE kc_loudness benchmark::benchmark)

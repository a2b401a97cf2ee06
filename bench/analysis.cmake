# Offline analysis: one minute of stereo through the whole pipeline, with and
# without loudness. analysis_vs_sox.sh compares the whole process with
# `sox FILE -n stats` on a 10-minute file:
#   bench/analysis_vs_sox.sh BUILD/korvalo-cor
add_executable(analysis_bench ${CMAKE_CURRENT_LIST_DIR}/analysis_bench.cpp)
target_link_libraries(analysis_bench PRIVATE kc_analysis kc_wavgen benchmark::benchmark)

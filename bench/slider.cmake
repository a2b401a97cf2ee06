# Precision slider: one ruler redraw and one drag step.
add_executable(slider_bench ${CMAKE_CURRENT_LIST_DIR}/slider_bench.cpp)
target_link_libraries(slider_bench PRIVATE kc_controls kc_platform kc_resources benchmark::benchmark)

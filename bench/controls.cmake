# Control library: one knob drag step (mouse move, value, immediate repaint),
# one precision slider ruler redraw and drag step.
add_executable(controls_bench ${CMAKE_CURRENT_LIST_DIR}/controls_bench.cpp)
target_link_libraries(controls_bench PRIVATE kc_controls kc_platform kc_resources benchmark::benchmark)

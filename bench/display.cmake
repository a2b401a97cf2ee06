# Meter display: one display frame (ballistics + moving parts) per client size.
add_executable(display_bench ${CMAKE_CURRENT_LIST_DIR}/display_bench.cpp)
target_link_libraries(display_bench PRIVATE kc_display kc_meter benchmark::benchmark)

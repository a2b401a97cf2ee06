# The meter window's light-up timer of bench/input_latency.sh.
find_package(X11 REQUIRED)
add_executable(kc-display-lit ${CMAKE_CURRENT_LIST_DIR}/display_lit.cpp
  ${PROJECT_SOURCE_DIR}/display/meter_layout.cpp)
target_include_directories(kc-display-lit PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(kc-display-lit PRIVATE Qt6::Gui X11::X11)

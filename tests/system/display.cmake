# The meter display in the real program under Xvfb (display_system_test.sh).
# The probe looks at the program's windows from outside for every system test
# that drives them.
find_package(X11 REQUIRED)
add_executable(kc-display-probe ${CMAKE_CURRENT_LIST_DIR}/display_probe.cpp
  ${PROJECT_SOURCE_DIR}/display/meter_layout.cpp)
target_include_directories(kc-display-probe PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(kc-display-probe PRIVATE kc_resources Qt6::Gui X11::X11)

add_test(NAME display_system_test
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/display_system_test.sh
          $<TARGET_FILE:korvalo-cor> $<TARGET_FILE:kc-display-probe>
          ${CMAKE_BINARY_DIR}/display-system-screenshot.png)
set_tests_properties(display_system_test PROPERTIES LABELS system TIMEOUT 300)

add_test(NAME scope_system_test
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/scope_system_test.sh
          $<TARGET_FILE:korvalo-cor> $<TARGET_FILE:kc-display-probe>
          ${CMAKE_BINARY_DIR}/scope-system-screenshot.png)
set_tests_properties(scope_system_test PROPERTIES LABELS system TIMEOUT 300)

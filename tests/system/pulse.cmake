# The real program through a private PulseAudio server (pulse_system_test.sh).
# The probe lists the program's devices; the recordings are compared with cmp.
add_executable(kc-pulse-probe ${CMAKE_CURRENT_LIST_DIR}/pulse_probe.cpp)
target_link_libraries(kc-pulse-probe PRIVATE kc_audio)

add_test(NAME pulse_system_test
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/pulse_system_test.sh
          $<TARGET_FILE:korvalo-cor> $<TARGET_FILE:kc-pulse-probe>
          $<TARGET_FILE:kc-display-probe> ${CMAKE_BINARY_DIR}/input-system-screenshot.png)
set_tests_properties(pulse_system_test PROPERTIES LABELS system TIMEOUT 300
  SKIP_RETURN_CODE 77)

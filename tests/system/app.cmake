# The real program under Xvfb (see app_system_test.sh). The probe (from
# display.cmake) reads the window's size hints and pixels from outside the
# program.

add_test(NAME app_system_test
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/app_system_test.sh
          $<TARGET_FILE:korvalo-cor> $<TARGET_FILE:kc-display-probe>)
set_tests_properties(app_system_test PROPERTIES LABELS system TIMEOUT 300)

# --help and --version answer without a display.
add_test(NAME app_help_test COMMAND korvalo-cor --help)
set_tests_properties(app_help_test PROPERTIES LABELS system
  ENVIRONMENT "DISPLAY=;QT_QPA_PLATFORM=xcb"
  PASS_REGULAR_EXPRESSION "Usage: korvalo-cor \\[--device NAME\\] \\[FILE.wav\\]")
add_test(NAME app_version_test COMMAND korvalo-cor --version)
set_tests_properties(app_version_test PROPERTIES LABELS system
  ENVIRONMENT "DISPLAY=;QT_QPA_PLATFORM=xcb"
  PASS_REGULAR_EXPRESSION "^korvalo-cor [0-9]+\\.[0-9]+\\.[0-9]+")

# The control panel used with the mouse (panel_system_test.sh); its
# screenshots stay in the build folder.
add_test(NAME panel_system_test
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/panel_system_test.sh
          $<TARGET_FILE:korvalo-cor> $<TARGET_FILE:kc-display-probe>
          $<TARGET_FILE:kc-display-probe> ${CMAKE_BINARY_DIR}/panel-system-shots)
set_tests_properties(panel_system_test PROPERTIES LABELS system TIMEOUT 300
  RESOURCE_LOCK xvfb)

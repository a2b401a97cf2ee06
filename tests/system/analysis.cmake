# korvalo-cor --analyze as a user runs it: no display, several files with
# bad ones among them, output formats, the timeline, exit codes.
add_test(NAME analysis_cli_test
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/analysis_cli_test.sh $<TARGET_FILE:korvalo-cor>)
set_tests_properties(analysis_cli_test PROPERTIES LABELS system TIMEOUT 120
  ENVIRONMENT "DISPLAY=;QT_QPA_PLATFORM=xcb")

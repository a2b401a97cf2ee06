# The meter window on a screen of twice the density (display_hidpi_test.sh);
# the probe comes from display.cmake.
add_test(NAME display_hidpi_test
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/display_hidpi_test.sh
          $<TARGET_FILE:korvalo-cor> $<TARGET_FILE:kc-display-probe>
          ${CMAKE_BINARY_DIR}/display-hidpi-screenshot.png)
set_tests_properties(display_hidpi_test PROPERTIES LABELS system TIMEOUT 300)

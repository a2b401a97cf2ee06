# Meter display: pure geometry and graduation logic.
kc_add_test(display_layout_test unit
  SOURCES ${PROJECT_SOURCE_DIR}/tests/unit/display_layout_test.cpp
          ${PROJECT_SOURCE_DIR}/display/meter_layout.cpp
          ${PROJECT_SOURCE_DIR}/display/window_placement.cpp
  LIBS kc_platform GTest::gtest_main)
kc_add_test(display_scales_test unit
  SOURCES ${PROJECT_SOURCE_DIR}/tests/unit/display_scales_test.cpp
          ${PROJECT_SOURCE_DIR}/display/scale_marks.cpp
  LIBS GTest::gtest_main)

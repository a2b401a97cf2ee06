# The 2x pictures and the installed application icons.
kc_add_test(resources_hires_test unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/resources_hires_test.cpp
  LIBS kc_resources Qt6::Gui GTest::gtest_main)
target_compile_definitions(resources_hires_test PRIVATE
  KC_SOURCE_DIR="${PROJECT_SOURCE_DIR}" KC_APP_ID="${KC_APP_ID}")

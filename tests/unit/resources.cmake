# Artwork compiled in through kc_resources and the installed icons, the demo
# WAV made at build time and the WAV writer that tests use to make their own
# files.
kc_add_test(resources_artwork_test unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/resources_artwork_test.cpp
  LIBS kc_resources Qt6::Gui GTest::gtest_main)
target_compile_definitions(resources_artwork_test PRIVATE
  KC_SOURCE_DIR="${PROJECT_SOURCE_DIR}" KC_APP_ID="${KC_APP_ID}")

kc_add_test(resources_wav_test unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/resources_wav_test.cpp
  LIBS kc_wavgen GTest::gtest_main)
add_dependencies(resources_wav_test kc_demo_wav)
target_compile_definitions(resources_wav_test PRIVATE
  KC_DEMO_WAV="${KC_DEMO_WAV}")

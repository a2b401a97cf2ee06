# Audio end to end through real ALSA into its "file" PCM (no sound card needed).
kc_add_test(audio_alsa_file_test system
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/audio_alsa_file_test.cpp
  LIBS kc_audio kc_meter GTest::gtest_main)

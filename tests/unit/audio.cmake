# Audio: wave device layer and live input, WAV source, transport.
kc_add_test(audio_device_test unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/audio_device_test.cpp
  LIBS kc_audio GTest::gtest_main)
kc_add_test(audio_wav_test unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/audio_wav_test.cpp
  LIBS kc_audio GTest::gtest_main)
kc_add_test(audio_transport_test unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/audio_transport_test.cpp
  LIBS kc_audio kc_meter GTest::gtest_main)
kc_add_test(audio_shell_test gui
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/audio_shell_test.cpp ${CMAKE_CURRENT_LIST_DIR}/../gui/gui_test_main.cpp
  LIBS kc_app GTest::gtest Qt6::Widgets)

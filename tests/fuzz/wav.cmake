# libFuzzer target for the RIFF/WAV reader. The main build may use g++, so the
# reader sources and the target are compiled by a separate clang++ call; the
# fuzz test runs it for a bounded time from a seed corpus.
if(KC_BUILD_FUZZ)
  find_program(KC_CLANGXX clang++)
  if(KC_CLANGXX)
    set(_fuzz_bin ${CMAKE_BINARY_DIR}/fuzz/wav_fuzz)
    set(_fuzz_src
      ${PROJECT_SOURCE_DIR}/tests/fuzz/wav_fuzz.cpp
      ${PROJECT_SOURCE_DIR}/audio/wav_source.cpp
      ${PROJECT_SOURCE_DIR}/audio/riff_reader.cpp)
    add_custom_command(OUTPUT ${_fuzz_bin}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/fuzz
      COMMAND ${KC_CLANGXX} -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined
              -I${PROJECT_SOURCE_DIR} ${_fuzz_src} -o ${_fuzz_bin}
      DEPENDS ${_fuzz_src}
              ${PROJECT_SOURCE_DIR}/audio/wav_source.h ${PROJECT_SOURCE_DIR}/audio/riff_reader.h
      COMMENT "Building the WAV reader fuzz target with clang++"
      VERBATIM)
    add_custom_target(wav_fuzz ALL DEPENDS ${_fuzz_bin})
    # A fresh working corpus each run, seeded from the committed one.
    set(_corpus ${CMAKE_BINARY_DIR}/fuzz/wav_corpus)
    add_test(NAME wav_fuzz
      COMMAND ${CMAKE_COMMAND}
        -DFUZZ_BIN=${_fuzz_bin} -DCORPUS=${_corpus}
        -DSEEDS=${PROJECT_SOURCE_DIR}/tests/fuzz/wav_seeds
        -DDICT=${PROJECT_SOURCE_DIR}/tests/fuzz/wav.dict
        -P ${PROJECT_SOURCE_DIR}/tests/fuzz/scripts/run_fuzz.cmake)
    set_tests_properties(wav_fuzz PROPERTIES LABELS fuzz TIMEOUT 120)
  endif()
endif()

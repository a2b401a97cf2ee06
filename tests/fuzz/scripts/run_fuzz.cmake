# Runs a libFuzzer binary for a bounded time on a fresh copy of its seeds.
file(REMOVE_RECURSE ${CORPUS})
file(MAKE_DIRECTORY ${CORPUS})
file(GLOB _seeds ${SEEDS}/*)
file(COPY ${_seeds} DESTINATION ${CORPUS})
execute_process(
  COMMAND ${FUZZ_BIN} -max_total_time=20 -rss_limit_mb=1024 -dict=${DICT} ${CORPUS}
  RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "the fuzzer found a failure (exit ${_rc})")
endif()

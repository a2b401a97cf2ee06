# The onset timer of bench/pulse_latency.sh (Play to sound through a server).
add_executable(kc-pulse-onsets ${CMAKE_CURRENT_LIST_DIR}/pulse_onsets.cpp)

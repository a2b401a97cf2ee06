#!/usr/bin/env bash
# Time from Play to sound through a PulseAudio server, at each latency of the
# program's Latency menu: the real program under Xvfb plays through ALSA's
# "pulse" plugin into a private server's null sink; F1 is pressed and the
# first non-silent frame is timed where the server hands it on (the sink's
# monitor, recorded by parec at 10 ms fragments, stamped as it arrives).
# This is the delay users compare with what they hear: it includes starting
# the stream, the one buffer of silence that leads every stream, the server's
# buffer and the key press itself. Prints the median, lowest and highest of
# RUNS presses per latency (default 7).
#   bench/pulse_latency.sh PROGRAM ONSETS [RUNS]
# ONSETS is kc-pulse-onsets from the build folder (bench/pulse.cmake).
set -uo pipefail
source "$(dirname "$0")/../tests/system/lib.sh"
source "$(dirname "$0")/../tests/system/pulse_lib.sh"
source "$(dirname "$0")/onsets_lib.sh"
program=$(readlink -f "$1")
onsets=$(readlink -f "$2")
runs=${3:-7}

pulse_setup
pulse_start || { echo "the server did not start"; exit 1; }
# Sound from the very first frame, half a second long.
sox -n -r 44100 -b 16 -c 2 "$work/noise.wav" synth 0.5 whitenoise vol 0.5 dcshift 0.1
onsets_start "$onsets" || { echo "cannot record the monitor"; exit 1; }

printf '%-8s %8s %8s %8s  (ms from F1 to sound, %s runs)\n' latency median lowest highest "$runs"
for entry in "200 cdcc4c3e" "100 cdcccc3d" "50 cdcc4c3d" "30 8fc2f53c" "20 0ad7a33c"; do
  set -- $entry
  export XDG_CONFIG_HOME=$work/config-$1
  mkdir -p "$XDG_CONFIG_HOME/korvalo-cor"
  printf '[Zandel_Audio\\demo]\nLatencyTime=binary:4:%s\n' "$2" \
    > "$XDG_CONFIG_HOME/korvalo-cor/registry.ini"
  wait_for 10 quiet || { echo "$1 ms: the sink does not go quiet"; exit 1; }
  seen=$(lines)
  # The file given at start-up plays once by itself.
  pulse_spawn "$work/program-$1.log" "$program" --device pulse "$work/noise.wav"
  pid=$spawned
  win=
  focused() {
    xdotool windowfocus "$win" 2>/dev/null
    [ "$(xdotool getwindowfocus getwindowpid 2>/dev/null)" = "$pid" ]
  }
  if ! wait_for 60 find_window '^Korvalo Cor\.$' || ! wait_for 10 focused || ! onset_after "$seen" > /dev/null; then
    echo "$1 ms: the program did not start playing"; cat "$work/program-$1.log"; exit 1
  fi
  : > "$work/times.txt"
  for ((run = 0; run < runs; run++)); do
    # The last play is over (the stream plays silence past the file's end);
    # F2 stops it, so that F1 starts a new stream as a listener's press does.
    wait_for 10 quiet || { echo "$1 ms: the sound does not end"; exit 1; }
    xdotool key F2
    seen=$(lines)
    pressed=${EPOCHREALTIME/[.,]/}
    xdotool key F1
    sound=$(onset_after "$seen") || { echo "$1 ms: no sound after F1"; exit 1; }
    echo $(((sound - pressed) / 100)) >> "$work/times.txt"
  done
  kill -TERM "$pid"
  wait_for 30 ended "$pid" || kill -KILL "$pid"
  wait "$pid" 2>/dev/null
  printf '%-8s %8s %8s %8s\n' "$1 ms" \
    "$(median < "$work/times.txt" | sed 's/.$/.&/')" \
    "$(sort -n "$work/times.txt" | head -1 | sed 's/.$/.&/')" \
    "$(sort -n "$work/times.txt" | tail -1 | sed 's/.$/.&/')"
done

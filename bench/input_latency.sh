#!/usr/bin/env bash
# Sound to meter for a live input, through a private PulseAudio server: the
# real program under Xvfb meters `--input monitor` (the null sink's monitor
# through ALSA's "pulse" plugin) while clicks (a 0.3 s full-scale 1 kHz burst
# on the left) are played into the sink with paplay. Each click's first
# sample is timed where the sink hands it on: its monitor, recorded by parec
# at 10 ms fragments and stamped on arrival (kc-pulse-onsets); the
# display frame that shows it is timed where the meter window's pixels light
# up (kc-display-lit, grabbing the window over and over). Prints the
# median, lowest and highest of RUNS clicks (default 9) at 20 ms and 100 ms
# latency, with the budget: one block plus one display frame. The parec
# stamp comes up to a fragment after the sink played the sample, so the
# figures may read up to about 10 ms short.
#   bench/input_latency.sh PROGRAM ONSETS LIT [RUNS]
# ONSETS and LIT are kc-pulse-onsets and kc-display-lit (bench/), from the
# build folder.
set -uo pipefail
source "$(dirname "$0")/../tests/system/lib.sh"
source "$(dirname "$0")/../tests/system/pulse_lib.sh"
source "$(dirname "$0")/onsets_lib.sh"
program=$(readlink -f "$1")
onsets=$(readlink -f "$2")
lit=$(readlink -f "$3")
runs=${4:-9}

pulse_setup
pulse_start || { echo "the server did not start"; exit 1; }
sox -D -V1 -n -r 44100 -b 16 -c 2 "$work/click.wav" synth 0.3 sine 1000 remix 1 0
onsets_start "$onsets" || { echo "cannot record the monitor"; exit 1; }

echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores"
printf '%-8s %8s %8s %8s %8s  (ms from the sink to the meter window, %s clicks)\n' \
  latency median lowest highest budget "$runs"
for entry in "20 0ad7a33c" "100 cdcccc3d"; do
  set -- $entry
  export XDG_CONFIG_HOME=$work/config-$1
  mkdir -p "$XDG_CONFIG_HOME/korvalo-cor"
  # The latency, and 30 display frames per second ("nbFperS").
  printf '[Zandel_Audio\\demo]\nLatencyTime=binary:4:%s\n\n[Zandel_Audio\\TRLX\\Meter\\Korvalo Cor]\nnbFperS=binary:4:1e000000\n' \
    "$2" > "$XDG_CONFIG_HOME/korvalo-cor/registry.ini"
  pulse_spawn "$work/program-$1.log" "$program" --input monitor
  pid=$spawned
  capturing() { [ -n "$(pactl list short source-outputs 2>/dev/null | grep -v parec)" ]; }
  if ! wait_for 60 find_window '^Korvalo$' || ! wait_for 10 capturing; then
    echo "$1 ms: the program does not meter the input"; cat "$work/program-$1.log"; exit 1
  fi
  meter=$win
  delays=()
  for _ in $(seq "$runs"); do
    "$lit" "$meter" dark > /dev/null
    wait_for 10 quiet || { echo "the sink does not go quiet"; exit 1; }
    seen=$(lines)
    "$lit" "$meter" > "$work/lit.txt" &
    lit_pid=$!
    paplay --device=kc_null "$work/click.wav"
    onset=$(onset_after "$seen") || { echo "no onset seen"; exit 1; }
    wait "$lit_pid" || { echo "the meter did not light up"; exit 1; }
    delays+=($((($(cat "$work/lit.txt") - onset) / 1000)))
  done
  kill -TERM "$pid"
  wait "$pid"
  # One block plus one display frame (30 per second).
  printf '%-8s %8s %8s %8s %8s\n' "$1 ms" "$(printf '%s\n' "${delays[@]}" | median)" \
    "$(printf '%s\n' "${delays[@]}" | sort -n | head -1)" \
    "$(printf '%s\n' "${delays[@]}" | sort -n | tail -1)" "$(($1 + 34))"
done

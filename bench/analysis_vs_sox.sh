#!/usr/bin/env bash
# Whole-process wall time of the offline analysis against `sox FILE -n stats`
# on a generated 10-minute 16-bit stereo 44.1 kHz WAV, page cache warm, the
# two commands taking turns so that both see the same machine. Prints each
# command's median wall time over RUNS runs and the ratio of the medians, for
# the analysis without loudness (budget: at most 0.35 x sox) and with it.
#   bench/analysis_vs_sox.sh PROGRAM [RUNS] [MINUTES]
set -euo pipefail
program=$(readlink -f "$1")
runs=${2:-9}
minutes=${3:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config # the stored settings and latency: defaults
wav=$work/long.wav
sox -n -r 44100 -b 16 -c 2 "$wav" synth $((minutes * 60)) sine 997 sine 1503 gain -3 \
  tremolo 3 40
cat "$wav" >/dev/null

wall() { # wall seconds of one run of the command
  local t0 t1
  t0=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%.6f\n", b - a}'
}
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

compare() { # compare LABEL ARGS...: the analysis with ARGS against sox
  local label=$1 i a b
  shift
  : >"$work/a"
  : >"$work/b"
  wall "$program" --analyze "$@" "$wav" >/dev/null # warm-up
  for ((i = 0; i < runs; i++)); do
    wall "$program" --analyze "$@" "$wav" >>"$work/a"
    wall sox "$wav" -n stats >>"$work/b"
  done
  a=$(median <"$work/a")
  b=$(median <"$work/b")
  printf '%-28s analysis %.3f s  sox stats %.3f s  ratio %.3f\n' "$label" "$a" "$b" \
    "$(awk -v a="$a" -v b="$b" 'BEGIN {print a / b}')"
}

compare "--no-loudness" --no-loudness
compare "with loudness and true peak"

#!/usr/bin/env bash
# Whole-process wall and CPU time (user + system) of the offline analysis
# with loudness and true peak against ffmpeg's EBU R128 filter, with and
# without its true peak, on a generated 10-minute 16-bit stereo 44.1 kHz WAV,
# page cache warm. The two commands take turns and each pair gives a ratio,
# so that both see the same machine; the median of the pairs' ratios is
# printed with each command's median times.
# Budget: wall <= 0.5 x and CPU <= 1.0 x `ffmpeg -af ebur128=peak=true`.
#   bench/analysis_vs_ffmpeg.sh PROGRAM [RUNS] [MINUTES]
set -euo pipefail
program=$(readlink -f "$1")
runs=${2:-9}
minutes=${3:-10}
if ! command -v ffmpeg >/dev/null; then
  sudo=$([ "$(id -u)" -eq 0 ] || echo sudo)
  $sudo apt-get update
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends ffmpeg
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config # the stored settings: defaults
wav=$work/long.wav
sox -n -r 44100 -b 16 -c 2 "$wav" synth $((minutes * 60)) pinknoise pinknoise gain -12 \
  tremolo 0.3 60
cat "$wav" >/dev/null

measure() { # wall, user + system seconds of one run of the command
  /usr/bin/time -f '%e %U %S' -o "$work/t" "$@" >/dev/null 2>&1
  awk '{printf "%s %.3f\n", $1, $2 + $3}' "$work/t"
}
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

compare() { # compare LABEL FILTER: the analysis against ffmpeg with FILTER
  local label=$1 filter=$2 i a b
  : >"$work/pairs"
  measure "$program" --analyze "$wav" >/dev/null # warm-up
  for ((i = 0; i < runs; i++)); do
    a=$(measure "$program" --analyze "$wav")
    b=$(measure ffmpeg -nostdin -hide_banner -i "$wav" -af "$filter" -f null -)
    echo "$a $b" >>"$work/pairs"
  done
  awk '{print $1}' "$work/pairs" | median >"$work/aw"
  awk '{print $3}' "$work/pairs" | median >"$work/bw"
  awk '{print $2}' "$work/pairs" | median >"$work/ac"
  awk '{print $4}' "$work/pairs" | median >"$work/bc"
  printf '%-22s wall: analysis %.3f s  ffmpeg %.3f s  ratio %.3f\n' "$label" \
    "$(cat "$work/aw")" "$(cat "$work/bw")" "$(awk '{print $1 / $3}' "$work/pairs" | median)"
  printf '%-22s CPU:  analysis %.3f s  ffmpeg %.3f s  ratio %.3f\n' "" \
    "$(cat "$work/ac")" "$(cat "$work/bc")" "$(awk '{print $2 / $4}' "$work/pairs" | median)"
}

echo "$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2-)"
compare "ebur128=peak=true" ebur128=peak=true
compare "ebur128 (no peak)" ebur128

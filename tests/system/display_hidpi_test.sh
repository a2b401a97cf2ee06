#!/usr/bin/env bash
# System test of the meter window on a screen of twice the density
# (QT_SCALE_FACTOR=2 under Xvfb): the window stored as 180 x 300 shows as
# 360 x 600 screen pixels, and its scale labels are drawn at full resolution,
# not drawn at 180 x 300 and stretched.
#   display_hidpi_test.sh PROGRAM PROBE SCREENSHOT.png
set -uo pipefail
source "$(dirname "$0")/lib.sh"
program=$(readlink -f "$1")
probe=$(readlink -f "$2")
shot=$3
export XDG_CONFIG_HOME=$work/config QT_SCALE_FACTOR=2
mkdir -p "$XDG_CONFIG_HOME/korvalo-cor"
# The stored window, edges inclusive, in the program's own (logical) pixels.
printf '[Zandel_Audio\\TRLX\\Korvalo Cor.]\nWindow x0=binary:4:0a000000\nWindow y0=binary:4:0a000000\nWindow x1=binary:4:bd000000\nWindow y1=binary:4:35010000\n' \
  > "$XDG_CONFIG_HOME/korvalo-cor/registry.ini"

sox -D -V1 -n -r 44100 -b 16 -c 2 "$work/sine-left.wav" synth 20 sine 1000 remix 1 0 ||
  { echo "FAIL: cannot write the WAV"; exit 1; }
"$program" --device silent "$work/sine-left.wav" > "$work/program.log" 2>&1 &
pid=$!
status=0
if wait_for 30 find_window '^Korvalo$'; then
  sleep 1.2
  "$probe" sharp "$win" "$shot" 180 300 || { echo "FAIL: not drawn at twice the density (screenshot $shot)"; status=1; }
else
  echo "FAIL: no meter window 'Korvalo'"
  status=1
fi
stop_program "$pid" || status=1
[ $status -eq 0 ] || cat "$work/program.log"
exit $status

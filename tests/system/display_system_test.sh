#!/usr/bin/env bash
# System test of the meter display: the real program under Xvfb plays a WAV
# with a full-scale sine on the left and silence on the right through the
# silent device; after a second of playing, a screenshot of the meter window
# must show the left bar lit in the clip colour and the right bar dark. The
# program then ends with 0 on SIGTERM while the meter window's menu is open.
#   display_system_test.sh PROGRAM PROBE SCREENSHOT.png
set -uo pipefail
source "$(dirname "$0")/lib.sh"
program=$(readlink -f "$1")
probe=$(readlink -f "$2")
shot=$3
export XDG_CONFIG_HOME=$work/config

"$probe" wav "$work/sine-left.wav" 20 || { echo "FAIL: cannot write the WAV"; exit 1; }
"$program" --device silent "$work/sine-left.wav" > "$work/program.log" 2>&1 &
pid=$!
status=0
if wait_for 30 find_window '^Korvalo$'; then
  sleep 1.2
  "$probe" bars "$win" "$shot" || { echo "FAIL: bars not as expected (screenshot $shot)"; status=1; }
else
  echo "FAIL: no meter window 'Korvalo'"
  status=1
fi
# The shut-down comes while the meter window's context menu is open: the
# window must not go from under its own menu.
if [ -n "${win:-}" ]; then
  eval "$(xdotool getwindowgeometry --shell "$win")"
  xdotool mousemove $((X + 60)) $((Y + 200)) click 3
  menu_open() { [ "$(xdotool search --all --onlyvisible --pid "$pid" --name '' 2>/dev/null | wc -l)" -gt 2 ]; }
  wait_for 10 menu_open || echo "note: no context menu window seen"
fi
stop_program "$pid" || status=1
[ $status -eq 0 ] || cat "$work/program.log"
exit $status

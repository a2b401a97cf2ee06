#!/usr/bin/env bash
# System test of the X/Y scope: the real program under Xvfb plays a WAV with
# a full-scale sine on the left and silence on the right; the scope is opened
# from the meter window's context menu with the keyboard and must show the
# trace on the left channel's diagonal. SIGTERM with the scope open exits 0
# and keeps its place: the next start opens it again there, and after Stop
# (F2) it keeps the last trace.
#   scope_system_test.sh PROGRAM PROBE SCREENSHOT.png
set -uo pipefail
source "$(dirname "$0")/lib.sh"
program=$(readlink -f "$1")
probe=$(readlink -f "$2")
shot=$3
export XDG_CONFIG_HOME=$work/config
# "X/Y Scope" counted from the end of the meter window's menu, above "Follow the
# Output Delay" (the separator between is skipped): Up from a
# menu with nothing selected goes to its last item first.
ups=4

sox -D -V1 -n -r 44100 -b 16 -c 2 "$work/sine-left.wav" synth 30 sine 1000 remix 1 0 ||
  { echo "FAIL: cannot write the WAV"; exit 1; }
menu_open() { [ "$(xdotool search --all --onlyvisible --pid "$pid" --name '' 2>/dev/null | wc -l)" -gt 2 ]; }
trace() { "$probe" trace "$scope" "$1" > "$work/trace.log"; }
status=0

"$program" --device silent "$work/sine-left.wav" > "$work/program.log" 2>&1 &
pid=$!
if wait_for 30 find_window '^Korvalo$'; then
  eval "$(xdotool getwindowgeometry --shell "$win")"
  xdotool mousemove $((X + 60)) $((Y + 200)) click 3
  wait_for 10 menu_open && xdotool key --repeat "$ups" Up && xdotool key Return
fi
if ! { wait_for 10 find_window '^X/Y$' && scope=$win && wait_for 10 trace "$shot"; }; then
  cat "$work/trace.log"
  echo "FAIL: no X/Y window with the left channel's trace from the menu (screenshot $shot)"
  status=1
fi
geometry() { xdotool getwindowgeometry "$scope" | sed -n 's/.*\(Position\|Geometry\): \([0-9x,-]*\).*/\2/p' | xargs; }
first=$(geometry)
[ "${first#* }" = 300x300 ] || { echo "FAIL: the scope opened as $first, not 300x300"; status=1; }
stop_program "$pid" || status=1
grep -q '^XY Open=binary:4:01000000' "$XDG_CONFIG_HOME/korvalo-cor/registry.ini" ||
  { echo "FAIL: the scope is not stored as open"; status=1; }

# The next start opens it at the same place; F2 leaves the last trace.
"$program" --device silent "$work/sine-left.wav" > "$work/program.log" 2>&1 &
pid=$!
still() { "$probe" shot "$scope" "$work/a.png" && sleep 0.5 && "$probe" shot "$scope" "$work/b.png" &&
  cmp -s "$work/a.png" "$work/b.png"; }
if ! { wait_for 30 find_window '^X/Y$' && scope=$win && [ "$(geometry)" = "$first" ]; }; then
  echo "FAIL: the scope did not open again as $first at the next start"
  status=1
elif ! { wait_for 10 trace "$work/playing.png" && wait_for 30 find_window '^Korvalo Cor\.$' &&
  xdotool windowfocus "$win" && xdotool key F2 && wait_for 10 still && trace "$work/stopped.png"; }; then
  cat "$work/trace.log"
  echo "FAIL: after F2 the scope does not keep the last trace"
  status=1
fi
stop_program "$pid" || status=1
[ $status -eq 0 ] || cat "$work/program.log"
exit $status

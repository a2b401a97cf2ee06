#!/usr/bin/env bash
# System test of the meter display: the real program under Xvfb plays a WAV
# with a full-scale sine on the left and silence on the right through the
# silent device; after a second of playing, a screenshot of the meter window
# must show the left bar lit in the clip colour and the right bar dark. The
# program then ends with 0 on SIGTERM while the meter window's menu is open.
# A second run plays pink noise, whose frames must not wake the main thread,
# stops it, maps the meter window again, switches "Always Visible" off and
# plays again.
#   display_system_test.sh PROGRAM PROBE SCREENSHOT.png
set -uo pipefail
source "$(dirname "$0")/lib.sh"
program=$(readlink -f "$1")
probe=$(readlink -f "$2")
shot=$3
export XDG_CONFIG_HOME=$work/config

sox -D -V1 -n -r 44100 -b 16 -c 2 "$work/sine-left.wav" synth 20 sine 1000 remix 1 0 ||
  { echo "FAIL: cannot write the WAV"; exit 1; }
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
# A context menu is open: the program has more visible windows than its two.
menu_open() { [ "$(xdotool search --all --onlyvisible --pid "$pid" --name '' 2>/dev/null | wc -l)" -gt 2 ]; }
# The shut-down comes while the meter window's context menu is open: the
# window must not go from under its own menu.
if [ -n "${win:-}" ]; then
  eval "$(xdotool getwindowgeometry --shell "$win")"
  xdotool mousemove $((X + 60)) $((Y + 200)) click 3
  wait_for 10 menu_open || echo "note: no context menu window seen"
fi
stop_program "$pid" || status=1
[ $status -eq 0 ] || cat "$work/program.log"

# Pink noise, stopped with F2 while it plays: the meter window keeps the last
# frame, and once unmapped and mapped again it shows that frame, not an older
# picture of the window.
sox -n -r 44100 -c 2 -b 16 "$work/pink.wav" synth 20 pinknoise vol 0.5
"$program" --device silent "$work/pink.wav" > "$work/program.log" 2>&1 &
pid=$!
shot() { "$probe" shot "$meter" "$work/$1.png"; }
moving() { shot a && sleep 0.2 && shot b && ! cmp -s "$work/a.png" "$work/b.png"; }
still() { shot a && sleep 0.5 && shot b && cmp -s "$work/a.png" "$work/b.png"; }
same() { shot c && cmp -s "$work/a.png" "$work/c.png"; }
focused() {
  xdotool windowfocus "$win" 2>/dev/null
  [ "$(xdotool getwindowfocus 2>/dev/null)" = "$win" ]
}
# The frames reach the screen from the render thread: the main thread does
# not wake for them (about 20 times in 2 s at the default 100 ms latency).
main_switches() { awk '/^voluntary_ctxt_switches/ { print $2 }' "/proc/$pid/status"; }
if ! { wait_for 30 find_window '^Korvalo$' && meter=$win && wait_for 10 moving; }; then
  echo "FAIL: the meter window does not move with pink noise"
  status=1
elif s0=$(main_switches) && sleep 2 && [ $(($(main_switches) - s0)) -ge 8 ]; then
  echo "FAIL: the main thread woke $(($(main_switches) - s0)) times in 2 s of frames"
  status=1
elif ! { wait_for 30 find_window '^Korvalo Cor\.$' && wait_for 10 focused && xdotool key F2 &&
  wait_for 10 still; }; then
  echo "FAIL: the meter window does not stand still after F2"
  status=1
else
  xdotool windowunmap --sync "$meter" && xdotool windowmap --sync "$meter"
  wait_for 10 same || { echo "FAIL: mapped again, the meter window lost its last frame"; status=1; }
  # "Always Visible" (the sixth entry of the menu) switched off brings the
  # window back as a new native window, which the frames must find.
  eval "$(xdotool getwindowgeometry --shell "$meter")"
  xdotool mousemove $((X + 60)) $((Y + 200)) click 3
  wait_for 10 menu_open && xdotool key Down Down Down Down Down Down Return
  played() { find_window '^Korvalo$' && meter=$win && moving; }
  if ! { wait_for 30 find_window '^Korvalo Cor\.$' && wait_for 10 focused && xdotool key F1 &&
    wait_for 10 played; }; then
    echo "FAIL: played again after \"Always Visible\", the meter window does not move"
    status=1
  fi
fi
stop_program "$pid" || status=1
[ $status -eq 0 ] || cat "$work/program.log"
exit $status

#!/usr/bin/env bash
# System test of the control panel: the real program under Xvfb plays pink
# noise through the silent device while the test uses the panel with the
# mouse, as a person would, and looks at the meter window after each move:
#   MAX. db knob dragged   -> the level scale's labels move
#   Linear Scale clicked   -> the level scale changes again
#   MUTE clicked           -> two screenshots a second apart are identical
#   meter window closed, Display clicked -> the meter window is back
# Then "Default Options..." from the meter window's menu opens the options
# dialog, and SIGTERM while it is open ends the program with 0, the display
# settings saved.
#   panel_system_test.sh PROGRAM DISPLAY-PROBE WINDOW-PROBE SHOT-FOLDER
set -uo pipefail
source "$(dirname "$0")/lib.sh"
program=$(readlink -f "$1")
probe=$(readlink -f "$2")
winprobe=$(readlink -f "$3")
shots=$4
mkdir -p "$shots"
export XDG_CONFIG_HOME=$work/config
status=0
fail() { echo "FAIL: $*"; status=1; }

find_meter() { find_window '^Korvalo$' && meter=$win; }
no_meter() { ! find_meter; }
find_main() { find_window '^Korvalo Cor\.$' && main=$win; }
shot() { "$probe" shot "$meter" "$@"; }
differs() { ! cmp -s "$1" "$2"; }
# scale_moved BEFORE: the scale column now differs from BEFORE.
scale_moved() { shot "$work/now.png" scale && differs "$1" "$work/now.png"; }
# A pair of whole-window screenshots a second apart; true when they differ.
pair_differs() {
  shot "$work/a.png" && sleep 1 && shot "$work/b.png" && differs "$work/a.png" "$work/b.png"
}
pair_same() { ! pair_differs; }
# Client point (x, y) of the panel face, in root coordinates. The face is the
# bottom 250 x 278 of the main window, below its menu bar.
face_point() { echo "$((X + $1)) $((Y + HEIGHT - 278 + $2))"; }
click_at() { xdotool mousemove $(face_point "$1" "$2") click 1; }

sox -n -r 44100 -c 2 -b 16 "$work/noise.wav" synth 120 pinknoise vol 0.5 ||
  { echo "FAIL: cannot write the WAV"; exit 1; }
"$program" --device silent "$work/noise.wav" > "$work/program.log" 2>&1 &
pid=$!

if wait_for 30 find_meter && wait_for 30 find_main; then
  eval "$(xdotool getwindowgeometry --shell "$main")"
  shot "$shots/0-start.png"

  # MAX. db: the knob at (34, 100), 24 x 24; a vertical drag turns it.
  shot "$work/before.png" scale
  xdotool mousemove $(face_point 46 112) mousedown 1
  for dy in 2 4 8 12 16 20 24 28 32 36 40; do
    sleep 0.05
    xdotool mousemove $(face_point 46 $((112 - dy)))
  done
  xdotool mouseup 1
  wait_for 10 scale_moved "$work/before.png" || fail "MAX. db drag: the scale did not move"
  shot "$shots/1-max-db.png"

  # Linear Scale: the button at (12, 35).
  shot "$work/before.png" scale
  click_at 21 42
  wait_for 10 scale_moved "$work/before.png" || fail "Linear Scale: the scale did not change"
  shot "$shots/2-linear.png"

  # MUTE (12, 7): the meters stand still while the noise plays on.
  wait_for 10 pair_differs || fail "the meters do not move before MUTE"
  click_at 21 14
  if wait_for 10 pair_same; then
    pair_same || fail "MUTE: the meter window changed while held"
  else
    fail "MUTE: the meter window keeps changing"
  fi
  cp "$work/b.png" "$shots/3-mute.png"

  # The meter window's close box, then Display (91, 7) brings it back.
  "$winprobe" close "$meter" || fail "close request not sent"
  wait_for 10 no_meter || fail "the meter window did not close"
  click_at 100 14
  if wait_for 10 find_meter; then
    shot "$shots/4-display.png"
    # The menu at a right click: the frame-rate submenu, "Reset Max
    # detection", the three levels, "Always Visible", "Default Options...".
    eval "$(xdotool getwindowgeometry --shell "$meter")"
    xdotool mousemove $((X + 60)) $((Y + 200)) click 3
    sleep 0.3
    xdotool key Down Down Down Down Down Down Down Return
    options_open() {
      xdotool search --all --onlyvisible --pid "$pid" --name '^Measure Display Options$' >/dev/null 2>&1
    }
    wait_for 10 options_open || fail "Default Options...: no options dialog"
  else
    fail "Display: no meter window"
  fi
else
  fail "no main window or meter window"
fi

stop_program "$pid" || status=1
grep -q '^\[Zandel_Audio\\TRLX\\Meter\\' "$XDG_CONFIG_HOME/korvalo-cor/registry.ini" ||
  fail "display settings not saved"
[ $status -eq 0 ] || cat "$work/program.log"
exit $status

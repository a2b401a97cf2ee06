#!/usr/bin/env bash
# System test of the control panel: the real program under Xvfb plays pink
# noise through the silent device while the test uses the panel with the
# mouse, as a person would, and looks at the meter window after each move:
#   MAX. db knob dragged   -> the level scale's labels move
#   Linear Scale clicked   -> the level scale changes again
#   MUTE clicked           -> two screenshots a second apart are identical
#   meter window closed with "About..." open, Display clicked -> it is back
# Then "Default Options..." from the meter window's menu opens the options
# dialog, which blocks that window only: the main window's close box, used
# while a field holds an edit, ends the program with 0, the settings saved
# and the edit dropped. The same with "Change Window Name..." open.
# Last, SIGTERM ends the program with 0 and saves the settings while a knob
# waits in its menu or in the entry dialog chosen from that menu.
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

registry=$XDG_CONFIG_HOME/korvalo-cor/registry.ini
# The latency, the display settings and the control library's options.
saved() {
  grep -q '^LatencyTime=' "$registry" && grep -q '^\[Zandel_Audio\\TRLX\\Meter\\' "$registry" &&
    grep -q '^Rot_Mode=' "$registry"
}
# popup_shown [BUT-ID]: a window of the program other than the main and the
# meter window (and BUT-ID) is visible; its id is left in $popup.
popup_shown() {
  popup=$(xdotool search --all --onlyvisible --pid "$pid" --name '' 2>/dev/null |
    grep -vxE "${main:-none}|${meter:-none}|${1:-none}" | head -1)
  [ -n "$popup" ]
}
# Clicks the eighth item of the menu $popup (rows of 22 pixels, thin
# separators): "Edit Value" in a knob's menu, "Change Window Name..." in the
# meter window's. Keys would do, but Return would reach the dialog it opens.
click_eighth_item() {
  eval "$(xdotool getwindowgeometry --shell "$popup" | sed 's/^/M/')"
  xdotool mousemove $((MX + 40)) $((MY + 169)) click 1
}
# close_main_with_edit WHAT: types into the focused field of the open dialog
# $popup, closes the main window with its close box, and expects exit 0 with
# the settings saved.
close_main_with_edit() {
  xdotool type "$2"
  "$winprobe" close "$main" || fail "$1: close request not sent"
  wait_for 30 ended "$pid" || { fail "$1: the main window's close box did nothing"; kill -TERM "$pid"; }
  wait "$pid" || fail "$1: exit code $?"
  saved || fail "$1: settings not saved"
}

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

  # The meter window's close box, used while the main window's "About..."
  # box is open (it blocks its own window only); then Display (91, 7), with
  # the box closed, brings the meter window back.
  xdotool mousemove $((X + 30)) $((Y + 8)) click 1 sleep 0.3 key a
  wait_for 10 find_window '^About\.\.\.$' || fail "Command, About: no box"
  about=$win
  "$winprobe" close "$meter" || fail "close request not sent"
  wait_for 10 no_meter || fail "the meter window did not close"
  "$winprobe" close "$about"
  click_at 100 14
  if wait_for 10 find_meter; then
    shot "$shots/4-display.png"
    # The menu at a right click: the frame-rate submenu, "Reset Max
    # detection", the three levels, "Always Visible", "Default Options...".
    eval "$(xdotool getwindowgeometry --shell "$meter")"
    xdotool mousemove $((X + 60)) $((Y + 200)) click 3
    sleep 0.3
    xdotool key Down Down Down Down Down Down Down Return
    if wait_for 10 find_window '^Measure Display Options$'; then
      # The frame rate field "N :" at (240, 385) of the dialog.
      popup=$win
      eval "$(xdotool getwindowgeometry --shell "$popup" | sed 's/^/D/')"
      xdotool mousemove $((DX + 264)) $((DY + 395)) click --repeat 2 1
      close_main_with_edit "Default Options..." 7
      grep -q '^nbFperS=binary:4:07000000$' "$registry" && fail "the options dialog's edit was saved"
    else
      fail "Default Options...: no options dialog"
    fi
  else
    fail "Display: no meter window"
  fi
else
  fail "no main window or meter window"
fi
ended "$pid" || stop_program "$pid" || status=1

# "Change Window Name..." with a new name typed (names are not stored), then
# the main window's close box.
"$program" --device silent "$work/noise.wav" > "$work/program.log" 2>&1 &
pid=$!
if wait_for 30 find_meter && wait_for 30 find_main; then
  eval "$(xdotool getwindowgeometry --shell "$meter")"
  xdotool mousemove $((X + 60)) $((Y + 200)) click 3
  if wait_for 10 popup_shown && click_eighth_item && wait_for 10 popup_shown "$popup"; then
    close_main_with_edit "Change Window Name..." Renamed
  else
    fail "Change Window Name...: no entry dialog"
  fi
fi
ended "$pid" || stop_program "$pid" || status=1

# SIGTERM while MAX. db's menu is open, and while the entry dialog chosen from
# it (a text entry) or from Delay's menu (the time entry) is open.
meter=
for knob in "menu 47 112" "text-entry 47 112" "time-entry 229 46"; do
  set -- $knob
  rm -f "$registry"
  "$program" --device silent > "$work/program.log" 2>&1 &
  pid=$!
  if wait_for 30 find_main; then
    eval "$(xdotool getwindowgeometry --shell "$main")"
    xdotool mousemove $(face_point "$2" "$3") click 3
    if ! wait_for 10 popup_shown; then
      fail "$1: no knob menu"
    elif [ "$1" != menu ] && ! { click_eighth_item && wait_for 10 popup_shown "$popup"; }; then
      fail "$1: no entry dialog"
    fi
  else
    fail "$1: no main window"
  fi
  stop_program "$pid" || fail "$1: not ended cleanly"
  saved || fail "$1: settings not saved"
done
[ $status -eq 0 ] || cat "$work/program.log"
exit $status

#!/usr/bin/env bash
# System test of the meter display: the real program under Xvfb plays a WAV
# with a full-scale sine on the left and silence on the right through the
# silent device; after a second of playing, a screenshot of the meter window
# must show the left bar lit in the clip colour and the right bar dark.
#   display_system_test.sh PROGRAM PROBE SCREENSHOT.png
set -uo pipefail
program=$(readlink -f "$1")
probe=$(readlink -f "$2")
shot=$3

if [ -z "${KC_IN_XVFB:-}" ]; then
  exec env KC_IN_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash "$0" "$@"
fi

export QT_QPA_PLATFORM=xcb
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config
mkdir -p -m 700 "$XDG_RUNTIME_DIR"

wait_for() {
  local tries=$(($1 * 10)); shift
  while [ $tries -gt 0 ]; do
    "$@" && return 0
    sleep 0.1
    tries=$((tries - 1))
  done
  return 1
}
find_meter() {
  win=$(xdotool search --all --onlyvisible --pid "$pid" --name '^Korvalo$' 2>/dev/null | head -1)
  [ -n "$win" ]
}

"$probe" wav "$work/sine-left.wav" 20 || { echo "FAIL: cannot write the WAV"; exit 1; }
"$program" --device silent "$work/sine-left.wav" > "$work/program.log" 2>&1 &
pid=$!
status=0
if wait_for 30 find_meter; then
  sleep 1.2
  "$probe" bars "$win" "$shot" || { echo "FAIL: bars not as expected (screenshot $shot)"; status=1; }
else
  echo "FAIL: no meter window 'Korvalo'"
  status=1
fi
kill -TERM "$pid" 2>/dev/null
wait_for 30 bash -c "! kill -0 $pid 2>/dev/null" || { echo "FAIL: still running"; kill -KILL "$pid"; status=1; }
wait "$pid"
rc=$?
[ "$rc" -eq 0 ] || { echo "FAIL: exit code $rc"; status=1; }
[ $status -eq 0 ] || cat "$work/program.log"
exit $status

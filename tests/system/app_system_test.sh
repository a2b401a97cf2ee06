#!/usr/bin/env bash
# System test of the real program under Xvfb: the main window appears with a
# 250-pixel-wide fixed client whose face shows the panel bitmap, and closing
# it (close box, SIGTERM, SIGINT) ends the program with exit code 0 after the
# latency was written to a private settings file.
#   app_system_test.sh PROGRAM PROBE
set -uo pipefail
program=$(readlink -f "$1")
probe=$(readlink -f "$2")

if [ -z "${KC_IN_XVFB:-}" ]; then
  # Depth 24: the face is compared pixel by pixel with its bitmap.
  exec env KC_IN_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash "$0" "$@"
fi

unset QT_QPA_PLATFORM
export QT_QPA_PLATFORM=xcb
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/runtime
# No session bus under Xvfb: make D-Bus users (accessibility, portals) fail at
# once instead of trying to start one.
export DBUS_SESSION_BUS_ADDRESS=disabled:
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Polls COMMAND every 0.1 s until it succeeds or SECONDS pass.
wait_for() {
  local seconds=$1; shift
  local tries=$((seconds * 10))
  while [ $tries -gt 0 ]; do
    "$@" && return 0
    sleep 0.1
    tries=$((tries - 1))
  done
  return 1
}

find_window() {
  win=$(xdotool search --onlyvisible --pid "$pid" --name '^Korvalo Cor\.$' 2>/dev/null | head -1)
  [ -n "$win" ]
}
probe_face() { "$probe" check "$win" 250 278 :/res/500.png > "$work/probe.txt" 2>&1; }
ended() { ! kill -0 "$pid" 2>/dev/null; }

# run NAME CLOSE-METHOD STORED-HEX EXPECTED-HEX
run() {
  local name=$1 how=$2 stored=$3 expected=$4
  echo "--- $name: close by $how"
  export XDG_CONFIG_HOME=$work/config-$name
  mkdir -p "$XDG_CONFIG_HOME/korvalo-cor"
  if [ -n "$stored" ]; then
    printf '[Zandel_Audio\\demo]\nLatencyTime=binary:4:%s\n\n[Zandel_Audio\\TRLX\\Korvalo Cor.]\nWindow x0=binary:4:2a000000\n' \
      "$stored" > "$XDG_CONFIG_HOME/korvalo-cor/registry.ini"
  fi
  (cd "$(dirname "$program")" && exec "$program") > "$work/$name.log" 2>&1 &
  pid=$!
  # Generous limits: sanitizer builds on a shared, loaded machine start slowly.
  if ! wait_for 90 find_window; then
    fail "$name: no visible window 'Korvalo Cor.'"
    kill -0 "$pid" 2>/dev/null && echo "program is running; its windows:" &&
      xdotool search --pid "$pid" 2>/dev/null | while read -r w; do xwininfo -id "$w" | head -3; done
    kill -KILL "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    cat "$work/$name.log"
    return
  fi
  echo "window $win: $(xwininfo -id "$win" | grep -E 'Width|Height' | tr -s ' ' | tr '\n' ' ')"
  if ! wait_for 30 probe_face; then
    fail "$name: client size or face wrong"
  fi
  cat "$work/probe.txt"

  case "$how" in
    closebox) "$probe" close "$win" || fail "$name: close request not sent" ;;
    SIGTERM) kill -TERM "$pid" ;;
    SIGINT) kill -INT "$pid" ;;
  esac
  if ! wait_for 60 ended; then
    fail "$name: program still running after close"
    kill -KILL "$pid" 2>/dev/null
  fi
  wait "$pid"
  local rc=$?
  [ "$rc" -eq 0 ] || fail "$name: exit code $rc"
  local file=$XDG_CONFIG_HOME/korvalo-cor/registry.ini
  if grep -qx "LatencyTime=binary:4:$expected" "$file" 2>/dev/null; then
    echo "stored LatencyTime $expected"
  else
    fail "$name: LatencyTime $expected not stored"; cat "$file" 2>/dev/null
  fi
  if [ -n "$stored" ] && ! grep -qx "Window x0=binary:4:2a000000" "$file"; then
    fail "$name: another program value was lost"
  fi
  grep -q '^\[Zandel_Audio\\QK2CTL\\Korvalo Cor\.\]$' "$file" || fail "$name: library options not saved"
  if [ -s "$work/$name.log" ]; then echo "program output:"; sed 's/^/  /' "$work/$name.log"; fi
}

# 0.1 s (the default), 0.05 s and 0.2 s as little-endian 32-bit floats.
run fresh closebox "" cdcccc3d
run stored SIGTERM cdcc4c3d cdcc4c3d
run interrupt SIGINT cdcc4c3e cdcc4c3e
# A stored latency outside 0.02..0.2 is not used; the default goes back.
run outside closebox 0000803e cdcccc3d

if [ $failures -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "system test passed"

#!/usr/bin/env bash
# System test of the real program under Xvfb: the main window appears with a
# 250-pixel-wide fixed client whose face shows the panel bitmap, and closing
# it (close box, SIGTERM, SIGINT) ends the program with exit code 0 after the
# latency was written to a private settings file.
#   app_system_test.sh PROGRAM PROBE
set -uo pipefail
source "$(dirname "$0")/lib.sh"
program=$(readlink -f "$1")
probe=$(readlink -f "$2")
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
probe_face() { "$probe" check "$win" 250 278 :/res/500.png > "$work/probe.txt" 2>&1; }

sorry_box() {
  xdotool search --all --onlyvisible --pid "$pid" --name '^Sorry\.\.\.$' >/dev/null 2>&1
}

# run NAME CLOSE-METHOD STORED-HEX EXPECTED-HEX [FILE]
# With FILE (one the program refuses), the close comes while its "Sorry..."
# box is up.
run() {
  local name=$1 how=$2 stored=$3 expected=$4 wav=${5:-}
  echo "--- $name: close by $how"
  export XDG_CONFIG_HOME=$work/config-$name
  local file=$XDG_CONFIG_HOME/korvalo-cor/registry.ini
  mkdir -p "$(dirname "$file")"
  if [ -n "$stored" ]; then
    printf '[Zandel_Audio\\demo]\nLatencyTime=binary:4:%s\n\n[Zandel_Audio\\TRLX\\Korvalo Cor.]\nWindow x0=binary:4:2a000000\n' \
      "$stored" > "$file"
  fi
  if [ -n "$wav" ]; then
    (cd "$(dirname "$program")" && exec "$program" --device silent "$wav") > "$work/$name.log" 2>&1 &
  else
    (cd "$(dirname "$program")" && exec "$program") > "$work/$name.log" 2>&1 &
  fi
  pid=$!
  # Generous limits: sanitizer builds on a shared, loaded machine start slowly.
  if ! wait_for 90 find_window '^Korvalo Cor\.$'; then
    fail "$name: no visible window 'Korvalo Cor.'"
    kill -KILL "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    cat "$work/$name.log"
    return
  fi
  if [ -n "$wav" ]; then
    wait_for 60 sorry_box || fail "$name: no \"Sorry...\" box for a refused file"
  else
    wait_for 30 probe_face || fail "$name: client size or face wrong"
    cat "$work/probe.txt"
  fi

  case "$how" in
    closebox) "$probe" close "$win" || fail "$name: close request not sent" ;;
    SIGTERM) kill -TERM "$pid" ;;
    SIGINT) kill -INT "$pid" ;;
  esac
  wait_for 60 ended "$pid" || { fail "$name: program still running after close"; kill -KILL "$pid"; }
  wait "$pid"
  local rc=$?
  [ "$rc" -eq 0 ] || fail "$name: exit code $rc"
  grep -qx "LatencyTime=binary:4:$expected" "$file" ||
    { fail "$name: LatencyTime $expected not stored"; cat "$file"; }
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
# The start-up file is refused (48 kHz): a signal while its box is up still
# ends the program, with the settings saved.
sox -n -r 48000 -b 16 -c 2 "$work/48k.wav" synth 0.5 sine 440
run refused-term SIGTERM cdcc4c3d cdcc4c3d "$work/48k.wav"
sox -n -r 44100 -b 16 -c 1 "$work/mono.wav" synth 0.5 sine 440
run refused-int SIGINT "" cdcccc3d "$work/mono.wav"

# An output device that cannot be opened is named on standard error, with
# ALSA's reason, when Play tries it; the program stays up.
echo "--- unknown device"
export XDG_CONFIG_HOME=$work/config-device
sox -n -r 44100 -b 16 -c 2 "$work/good.wav" synth 0.5 sine 440
"$program" --device hw:99,0 "$work/good.wav" > "$work/device.log" 2>&1 &
pid=$!
device_named() { grep -q '^korvalo-cor: cannot open audio device "hw:99,0": ..*' "$work/device.log"; }
wait_for 60 device_named || { fail "unknown device: no line on stderr"; cat "$work/device.log"; }
kill -0 "$pid" 2>/dev/null || fail "unknown device: the program ended"
kill -TERM "$pid"
wait_for 60 ended "$pid" || { fail "unknown device: still running after SIGTERM"; kill -KILL "$pid"; }
wait "$pid" || fail "unknown device: exit code $?"

[ $failures -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "system test passed"

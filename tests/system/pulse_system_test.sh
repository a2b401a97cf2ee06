#!/usr/bin/env bash
# System test of the real program through a real PulseAudio server, reached
# through ALSA's "pulse" plugin as on most desktops:
#   - the device list offers "pulse";
#   - a generated file played with --device pulse arrives in the null sink's
#     monitor frame for frame after the pre-roll;
#   - the server killed with SIGKILL while the stream runs leaves the program
#     alive and idle; once the server is back, F1 plays the file again from
#     the start through it;
#   - SIGTERM then ends the program with 0 and the settings saved.
# The server is private: its socket, runtime folder and home are in the
# scratch folder, and it is stopped by its process id whatever happens.
#   pulse_system_test.sh PROGRAM PROBE (PROBE lists the program's devices)
set -uo pipefail
for tool in pulseaudio parec pactl; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done
# PulseAudio's client library is not built for ThreadSanitizer: its threaded
# main loop's locking shows up as races and unlocks by a wrong thread that are
# not the program's. The other builds run the test.
if ldd "$(readlink -f "$1")" 2>/dev/null | grep -q libtsan; then
  echo "SKIP: libpulse is not instrumented for ThreadSanitizer"
  exit 77
fi
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/pulse_lib.sh"
program=$(readlink -f "$1")
probe=$(readlink -f "$2")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

pulse_setup
export XDG_CONFIG_HOME=$work/config
# The longest latency of the menu (0.2 s): a busy machine (a shared CI
# runner) can hold up the server or the program for longer than a shorter
# buffer lasts, and the test is about the sound, not the machine's load.
mkdir -p "$XDG_CONFIG_HOME/korvalo-cor"
printf '[Zandel_Audio\\demo]\nLatencyTime=binary:4:cdcc4c3e\n' > "$XDG_CONFIG_HOME/korvalo-cor/registry.ini"

echo "--- device list"
"$probe" > "$work/devices.txt"
grep -qx pulse "$work/devices.txt" || { fail "\"pulse\" is not listed"; cat "$work/devices.txt"; }

# Left and right differ, and the noise reaches every bit of the samples.
sox -n -r 44100 -b 16 -c 2 "$work/tone.wav" synth 2 sine 440 sine 660 synth whitenoise amod 0.1 vol 0.7

# No window manager runs: give a window of the program the input focus, as a
# click would, so that it is active and takes its hot keys.
focused() {
  xdotool windowfocus "$win" 2>/dev/null
  [ "$(xdotool getwindowfocus getwindowpid 2>/dev/null)" = "$pid" ]
}
# press_play: F1 until the sound starts (Play while playing does nothing; the
# program may become active only after the first press).
sounding() { [ "$(tr -d '\0' < "$recording" | head -c 1 | wc -c)" -gt 0 ]; }
press_play() {
  wait_for 30 find_window '^Korvalo Cor\.$' && wait_for 10 focused || { echo "the program does not get the focus"; return; }
  for _ in 1 2 3 4 5; do
    xdotool key F1
    wait_for 5 sounding && return
  done
}
# record_play NAME COMMAND...: records the monitor into NAME.raw while
# COMMAND starts the play.
record_play() {
  recording=$work/$1.raw
  shift
  pulse_record "$recording" || echo "parec did not connect"
  "$@"
}
# first_sound FILE START: offset of the first non-zero byte from START on;
# nothing when there is none yet.
first_sound() {
  local pos
  pos=$(cmp -i "$2" "$1" /dev/zero 2>/dev/null | sed -n 's/.* byte \([0-9]*\).*/\1/p')
  [ -n "$pos" ] && echo $(($2 + pos - 1))
}
# Both start where the sound starts: the file's own leading silence cannot be
# told apart from the pre-roll.
wav_start=$(first_sound "$work/tone.wav" $(($(grep -obUa data "$work/tone.wav" | head -1 | cut -d: -f1) + 8)))
length=$(($(stat -c %s "$work/tone.wav") - wav_start))
# settled: the recording holds the whole file after its pre-roll; compared is
# then 0 when it is the file byte for byte, 2 when it differs by a gap of
# silence (the server ran dry), 1 otherwise.
settled() {
  local start at
  start=$(first_sound "$recording" 0)
  compared=3
  echo "recording: not the whole file yet" > "$work/compare.txt"
  [ -n "$start" ] && [ $(($(stat -c %s "$recording") - start)) -ge "$length" ] || return 1
  at=$(cmp -n "$length" -i "$wav_start:$start" "$work/tone.wav" "$recording" |
    sed -n 's/.* byte \([0-9]*\).*/\1/p')
  if [ -z "$at" ]; then compared=0
  elif cmp -s -n 256 -i $((start + at - 1)) "$recording" /dev/zero; then compared=2
  else compared=1; fi
  echo "recording: sound from byte $start${at:+, first difference at byte $at of the sound}" > "$work/compare.txt"
}
# heard NAME: the play must reach the monitor identical to the file after the
# pre-roll. A gap of silence in the middle, where the server ran dry because
# the machine was too busy to feed it in time, is no fault of the program's:
# the file is then played again (F2, F1), five tries in all.
heard() {
  local try
  for try in 1 2 3 4 5; do
    [ $try -eq 1 ] || record_play "$1-$try" press_play
    wait_for 60 settled
    cat "$work/compare.txt"
    pulse_stop_record
    [ "$compared" -eq 2 ] || return "$compared"
    echo "note: playing again"
    wait_for 30 find_window '^Korvalo Cor\.$' && wait_for 10 focused && xdotool key F2
  done
  return 1
}

echo "--- play through the server"
pulse_start || { fail "the server did not start"; exit 1; }
pid=
record_play first pulse_spawn "$work/program.log" "$program" --device pulse "$work/tone.wav"
pid=$spawned
heard first || fail "the recording is not the file"
stream_up() { [ -n "$(pactl list short sink-inputs 2>/dev/null)" ]; }
stream_up || fail "no stream in the server while the program plays"

echo "--- server killed while the stream runs"
pulse_kill
# Busy-waiting on a dead server would use a whole core: allow a tenth.
ticks=$(cpu_ticks_during 30 "$pid")
hz=$(getconf CLK_TCK)
echo "program CPU over 3 s after the kill: $ticks ticks at $hz Hz"
[ "$ticks" -ge 0 ] || fail "the program ended when the server was killed"
[ "$ticks" -le $((hz * 3 / 10)) ] || fail "the program is busy without a server ($ticks ticks in 3 s)"
! grep -Eq 'Sanitizer|runtime error|Segmentation|terminate called|Aborted' "$work/program.log" ||
  fail "the program reported a crash"

echo "--- server back, F1 plays again"
pulse_start || { fail "the server did not start again"; exit 1; }
record_play again press_play
heard again || fail "not played again from the start"

echo "--- SIGTERM"
stop_program "$pid" 60 || fail "program did not end cleanly"
grep -qx 'LatencyTime=binary:4:cdcc4c3e' "$XDG_CONFIG_HOME/korvalo-cor/registry.ini" 2>/dev/null ||
  fail "settings not saved"
if [ $failures -ne 0 ] || [ -s "$work/program.log" ]; then
  echo "program output:"
  sed 's/^/  /' "$work/program.log"
fi

[ $failures -eq 0 ] || { echo "$failures failure(s); server log:"; tail -20 "$work/pulse.log"; exit 1; }
echo "system test passed"

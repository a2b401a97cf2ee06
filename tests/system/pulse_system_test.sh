#!/usr/bin/env bash
# System test of the real program through a real PulseAudio server, reached
# through ALSA's "pulse" plugin as on most desktops:
#   - the device list offers "pulse";
#   - a generated file played with --device pulse arrives in the null sink's
#     monitor frame for frame after the pre-roll;
#   - the server killed with SIGKILL while the stream runs leaves the program
#     alive and idle; once the server is back, F1 plays the file again from
#     the start through it;
#   - SIGTERM then ends the program with 0 and the settings saved;
#   - live input: `--analyze --input monitor` reads a tone played into the
#     48 kHz sink as --analyze reads its file; a missing input gives one
#     error line; SIGINT ends an open-ended capture with its summary;
#   - `--input monitor` lights the meter window's bars; the server killed
#     while capturing leaves the program alive and idle, F1 captures again
#     once it is back, and SIGTERM ends it with 0.
# The server is private: its socket, runtime folder and home are in the
# scratch folder, and it is stopped by its process id whatever happens.
#   pulse_system_test.sh PROGRAM PROBE DISPLAY-PROBE SCREENSHOT.png
#   (PROBE lists the program's devices)
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
display_probe=$(readlink -f "$3")
screenshot=$4
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

echo "--- headless: the 48 kHz sink's monitor reads as the file played into it"
# figure CSV COLUMN: a column of a one-row --format csv report.
figure() {
  awk -F, -v col="$2" 'NR == 1 { for (i = 1; i <= NF; i++) if ($i == col) c = i }
                       NR == 2 && c { print $c }' "$1"
}
near() { awk -v a="$1" -v b="$2" 'BEGIN { d = a - b; exit !(a != "" && d <= 0.05 && d >= -0.05) }'; }
sox -D -n -r 48000 -b 16 -c 2 "$work/ref.wav" synth 60 sine 1000 remix 1v0.1 1v0.0501187
pactl set-default-sink kc_null48
pulse_spawn "$work/paplay.log" paplay --device=kc_null48 "$work/ref.wav"
ref_player=$spawned
playing48() { pactl list short sinks 2>/dev/null | grep -q 'kc_null48.*RUNNING'; }
wait_for 30 playing48 || fail "paplay does not play into kc_null48"
"$program" --analyze --no-loudness --format csv "$work/ref.wav" > "$work/file.csv"
"$program" --analyze --input monitor --seconds 3 --no-loudness --format csv \
  > "$work/live.csv" 2> "$work/live.err" || fail "--analyze --input monitor failed: $(cat "$work/live.err")"
cat "$work/live.csv"
[ "$(figure "$work/live.csv" sample_rate_hz)" = 48000 ] || fail "not captured at the sink's 48000 Hz"
for col in left_sample_peak_dbfs left_rms_dbfs right_sample_peak_dbfs right_rms_dbfs \
  correlation_mean left_meter_max_peak_db right_meter_max_peak_db; do
  live=$(figure "$work/live.csv" $col) file=$(figure "$work/file.csv" $col)
  near "$live" "$file" || fail "$col: live $live, file $file"
done

echo "--- headless: a missing input, and SIGINT"
"$program" --analyze --input pulse:DEVICE=kc_nothing --seconds 1 > /dev/null 2> "$work/missing.err"
rc=$?
cat "$work/missing.err"
[ $rc -eq 3 ] && [ "$(wc -l < "$work/missing.err")" -eq 1 ] && grep -q kc_nothing "$work/missing.err" ||
  fail "a missing input: exit $rc, not one line naming it"
capturing() { [ -n "$(pactl list short source-outputs 2>/dev/null)" ]; }
pulse_spawn "$work/sigint.csv" "$program" --analyze --input monitor --format csv --no-loudness
wait_for 30 capturing || fail "no capture stream in the server"
kill -INT "$spawned"
wait_for 10 ended "$spawned" || fail "SIGINT did not end the capture"
wait "$spawned"
rc=$?
[ $rc -eq 0 ] && [ "$(figure "$work/sigint.csv" sample_rate_hz)" = 48000 ] ||
  fail "SIGINT: exit $rc, no summary: $(cat "$work/sigint.csv")"

echo "--- the program meters what the desktop plays"
# The tone ends first: the server would move it along with the default sink.
kill -KILL "$ref_player"
pactl set-default-sink kc_null
sox -D -V1 -n -r 44100 -b 16 -c 2 "$work/sine-left.wav" synth 60 sine 1000 remix 1 0 || fail "cannot write the WAV"
pulse_spawn "$work/paplay2.log" paplay --device=kc_null "$work/sine-left.wav"
pulse_spawn "$work/input.log" "$program" --input monitor
pid=$spawned
lit() { "$display_probe" bars "$meter" "$screenshot" > "$work/bars.txt"; }
if wait_for 30 find_window '^Korvalo$'; then
  meter=$win
  wait_for 20 lit || { cat "$work/bars.txt"; fail "the bars do not show the input (see $screenshot)"; }
else
  fail "no meter window"
fi

echo "--- server killed while capturing, F1 captures again"
pulse_kill
ticks=$(cpu_ticks_during 30 "$pid")
echo "program CPU over 3 s after the kill: $ticks ticks at $hz Hz"
[ "$ticks" -ge 0 ] || fail "the program ended when the server was killed"
[ "$ticks" -le $((hz * 3 / 10)) ] || fail "the program is busy without a server ($ticks ticks in 3 s)"
pulse_start || { fail "the server did not start again"; exit 1; }
press_capture() {
  wait_for 30 find_window '^Korvalo Cor\.$' && wait_for 10 focused || return 1
  for _ in 1 2 3 4 5; do
    xdotool key F1
    wait_for 5 capturing && return 0
  done
  return 1
}
press_capture || fail "F1 does not capture again"
stop_program "$pid" 60 || fail "program did not end cleanly"
grep -q 'LatencyTime=' "$XDG_CONFIG_HOME/korvalo-cor/registry.ini" 2>/dev/null || fail "settings not saved"
! grep -Eq 'Sanitizer|runtime error|Segmentation|terminate called|Aborted' "$work/input.log" ||
  fail "the program reported a crash: $(cat "$work/input.log")"

[ $failures -eq 0 ] || { echo "$failures failure(s); server log:"; tail -20 "$work/pulse.log"; exit 1; }
echo "system test passed"

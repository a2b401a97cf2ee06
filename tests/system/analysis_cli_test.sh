#!/usr/bin/env bash
# korvalo-cor --analyze without a display: results in the order given, one
# line on standard error per unreadable file (directory, FIFO, empty, cut
# short in any container, missing; control characters in its name escaped),
# exit status 3 then, 2 for usage errors, 0 otherwise; a note on NaN samples;
# JSON and CSV summaries, the frame timeline, and the progress line only on a
# terminal.
set -u
bin=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config
fail=0
check() { # check DESCRIPTION COMMAND...
  if ! "${@:2}"; then echo "FAIL: $1"; fail=1; fi
}
run() { # run ARGS...: status in $rc, output in $work/out and $work/err
  timeout 60 "$bin" --analyze "$@" >"$work/out" 2>"$work/err"
  rc=$?
}

cd "$work"
sox -n -r 44100 -b 16 -c 2 a.wav synth 2 sine 1000 gain -6
sox -n -r 48000 -b 24 -c 1 b.flac synth 1 sine 440 gain -12
mkdir dir.wav
mkfifo fifo.wav
: >empty.wav
head -c 100 a.wav >cut.wav
cut=(cut.wav)
for ext in flac aiff au w64 ogg; do
  sox a.wav "whole.$ext"
  head -c $(($(stat -c %s "whole.$ext") / 2)) "whole.$ext" >"cut.$ext"
  cut+=("cut.$ext")
done

# Bad files among good ones: every file gets its turn, in order.
run a.wav dir.wav fifo.wav empty.wav "${cut[@]}" missing.wav $'new\nline.wav' b.flac
check "exit status 3 when a file failed (got $rc)" test "$rc" -eq 3
for f in dir.wav fifo.wav empty.wav missing.wav; do
  check "one line on stderr for $f" test "$(grep -c "^korvalo-cor: $f: " err)" -eq 1
done
for f in "${cut[@]}"; do
  check "$f cut short is named on stderr" grep -q "^korvalo-cor: $f: data cut short" err
done
check "a newline in a name is escaped" grep -q '^korvalo-cor: new\\u000aline.wav: No such' err
check "stderr holds only the failure lines" test "$(wc -l <err)" -eq 11
check "the readable files reported, in the order given" \
  test "$(grep -E '^[a-z]+\.[a-z0-9]+$' out | tr '\n' ' ')" = "a.wav ${cut[*]} b.flac "

# A NaN sample is silence, said once, and the file counts as analysed.
sox -n -r 44100 -e floating-point -b 32 -c 2 nan.wav synth 1 sine 1000
printf '\0\0\300\177' | dd of=nan.wav bs=1 seek=$(($(grep -oba data nan.wav | cut -d: -f1) + 400)) \
  conv=notrunc status=none
run --no-loudness nan.wav
check "a NaN sample leaves status 0 (got $rc)" test "$rc" -eq 0
check "the NaN sample is told" \
  test "$(cat err)" = "korvalo-cor: nan.wav: 1 sample was NaN or infinite, measured as silence"
check "no progress line when stderr is no terminal" bash -c "! grep -q 'files,' '$work/err'"

# All good: status 0; JSON with the documented names.
run --format json --no-loudness a.wav b.flac
check "exit status 0 (got $rc)" test "$rc" -eq 0
check "one JSON object per file" test "$(grep -c '^{"file": ' out)" -eq 2
for key in sample_peak_dbfs true_peak_dbtp rms_dbfs clipped_samples meter_max_peak_db \
  range_db correlation_mean integrated_lufs loudness_range_lu; do
  check "JSON has $key" grep -q "\"$key\"" out
done
check "JSON peak of the -6 dB tone" grep -q '"sample_peak_dbfs": -6.0[0-9]' out
run --format csv --preset digital-vu --fps 25 a.wav
check "CSV header and row" test "$(wc -l <out)" -eq 2
check "CSV row says rms mode at 25 frames/s" grep -q '^a.wav,.*,digital-vu,rms,25,' out

# The timeline: header and one row per display frame, to a file or stdout.
run --frames frames.csv --fps 10 a.wav
check "timeline written (status $rc)" test "$rc" -eq 0
check "timeline header" grep -q '^file,time_s,left_level_db' frames.csv
rows=$(grep -c '^a.wav,' frames.csv)
check "about 10 rows per second of audio (got $rows)" test "$rows" -ge 20 -a "$rows" -le 22
run --frames - a.wav
check "--frames - puts only the timeline on stdout" test "$(grep -vc '^a.wav,\|^file,' out)" -eq 0

# Usage errors.
for args in "" "--format xml a.wav" "--fps 0 a.wav" "--preset loud a.wav" "--bogus a.wav"; do
  # shellcheck disable=SC2086
  run $args
  check "usage error for '$args' (got $rc)" test "$rc" -eq 2
done

# A progress line on a terminal (util-linux script gives one).
if command -v script >/dev/null; then
  script -qec "'$bin' --analyze a.wav b.flac >/dev/null" /dev/null >tty.txt 2>&1
  check "progress line on a terminal" grep -q 'files,' tty.txt
fi

[ $fail -eq 0 ] && echo "PASS"
exit $fail

# Sourced by the benches that time sound on the private server's sink (after
# tests/system/lib.sh and pulse_lib.sh): the sink's monitor goes through
# kc-pulse-onsets, which writes a line per change, "sound MICROSECONDS" or
# "silence", to $work/onsets.txt.

# onsets_start ONSETS: starts the recording; returns once it is connected.
onsets_start() {
  mkfifo "$work/monitor"
  "$1" < "$work/monitor" > "$work/onsets.txt" &
  spawned_pids+=("$!")
  pulse_record "$work/monitor"
}

lines() { wc -l < "$work/onsets.txt"; }
line_after() { [ "$(lines)" -gt "$1" ]; }
# No sound yet, or the last one has ended: wait for this before the next
# sound, or that one may come before the "silence" and be taken as part of
# the last.
quiet() { [[ "$(tail -n 1 "$work/onsets.txt")" =~ ^(silence)?$ ]]; }

# onset_after N: waits for a line after the first N and prints its time if it
# is a sound.
onset_after() {
  wait_for 10 line_after "$1" || return 1
  local line
  line=$(sed -n "$(($1 + 1))p" "$work/onsets.txt")
  [ "${line%% *}" = sound ] && echo "${line#sound }"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

#!/usr/bin/env bash
# Whole-program CPU while playing with the meter window open at 30 frames per
# second: the real program under Xvfb with the silent device (paced like a
# sound card, no sound card needed). Prints user + system CPU over wall time,
# read from /proc/<pid>/stat; the budget is 3 % of one core.
#   bench/display_cpu.sh PROGRAM WAV [SECONDS]
set -uo pipefail
program=$(readlink -f "$1")
wav=$(readlink -f "$2")
seconds=${3:-10}

if [ -z "${KC_IN_XVFB:-}" ]; then
  exec env KC_IN_XVFB=1 xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" bash "$0" "$@"
fi
export QT_QPA_PLATFORM=xcb
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && { kill -TERM "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; }; rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config
mkdir -p -m 700 "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME/korvalo-cor"
# 30 display frames per second (the stored "nbFperS", 4 bytes little-endian).
printf '[Zandel_Audio\\TRLX\\Meter\\Korvalo Cor]\nnbFperS=binary:4:1e000000\n' \
  > "$XDG_CONFIG_HOME/korvalo-cor/registry.ini"

"$program" --device silent "$wav" > "$work/program.log" 2>&1 &
pid=$!
for _ in $(seq 300); do
  xdotool search --all --onlyvisible --pid "$pid" --name '^Korvalo$' > /dev/null 2>&1 && break
  sleep 0.1
done
xdotool search --all --onlyvisible --pid "$pid" --name '^Korvalo$' > /dev/null 2>&1 ||
  { echo "no meter window"; cat "$work/program.log"; exit 1; }
sleep 2 # start-up done, playing

ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
t0=$(date +%s.%N); c0=$(ticks)
sleep "$seconds"
t1=$(date +%s.%N); c1=$(ticks)
awk -v c0="$c0" -v c1="$c1" -v t0="$t0" -v t1="$t1" -v hz="$hz" 'BEGIN {
  cpu = (c1 - c0) / hz; wall = t1 - t0;
  printf "CPU %.2f s over %.2f s wall: %.2f %% of one core (budget 3 %%)\n", cpu, wall, 100 * cpu / wall }'

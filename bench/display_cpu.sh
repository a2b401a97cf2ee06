#!/usr/bin/env bash
# Whole-program CPU while playing with the meter window open at 30 frames per
# second: the real program under Xvfb with the silent device (paced like a
# sound card, no sound card needed). Prints user + system CPU over wall time,
# read from /proc/<pid>/stat. Budget: 1 % of one core at the default
# 180-pixel-wide window, 2 % at a 1920 x 1080 one (WIDTH 1920).
#   bench/display_cpu.sh PROGRAM WAV [SECONDS] [WIDTH]
set -uo pipefail
program=$(readlink -f "$1")
wav=$(readlink -f "$2")
seconds=${3:-10}
width=${4:-}

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
# A stored window of WIDTH x 1080 at the top left corner (edges inclusive).
le32() { printf '%02x%02x%02x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
if [ -n "$width" ]; then
  printf '[Zandel_Audio\\TRLX\\Korvalo Cor.]\nWindow x0=binary:4:%s\nWindow y0=binary:4:%s\nWindow x1=binary:4:%s\nWindow y1=binary:4:%s\n' \
    "$(le32 0)" "$(le32 0)" "$(le32 $((width - 1)))" "$(le32 1079)" >> "$XDG_CONFIG_HOME/korvalo-cor/registry.ini"
fi

"$program" --device silent "$wav" > "$work/program.log" 2>&1 &
pid=$!
for _ in $(seq 300); do
  xdotool search --all --onlyvisible --pid "$pid" --name '^Korvalo$' > /dev/null 2>&1 && break
  sleep 0.1
done
xdotool search --all --onlyvisible --pid "$pid" --name '^Korvalo$' > /dev/null 2>&1 ||
  { echo "no meter window"; cat "$work/program.log"; exit 1; }
sleep 2 # start-up done, playing
win=$(xdotool search --all --onlyvisible --pid "$pid" --name '^Korvalo$' | head -1)
echo "meter window: $(xdotool getwindowgeometry "$win" | sed -n 's/.*Geometry: //p')"

ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
t0=$(date +%s.%N); c0=$(ticks)
sleep "$seconds"
t1=$(date +%s.%N); c1=$(ticks)
awk -v c0="$c0" -v c1="$c1" -v t0="$t0" -v t1="$t1" -v hz="$hz" 'BEGIN {
  cpu = (c1 - c0) / hz; wall = t1 - t0;
  printf "CPU %.2f s over %.2f s wall: %.2f %% of one core\n", cpu, wall, 100 * cpu / wall }'

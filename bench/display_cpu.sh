#!/usr/bin/env bash
# Whole-program CPU while playing with the meter window open: the real program
# under Xvfb with the silent device (paced like a sound card, no sound card
# needed). Prints the CPU time of every thread over wall time (the
# scheduler's own accounting, /proc/<pid>/task/*/schedstat) and the context
# switches per second, for each window size asked for, with the machine noted.
#
# The audio paces the display: a frame is published at most once per block,
# so the frame rate asked for is reached only when the latency (the block
# duration) is short enough; at 20 ms and 30 frames per second it is.
# Budget: 1 % of one core at 180 x 1080, 2 % at 1920 x 1080; with the
# 300 x 300 X/Y scope open beside a 180 x 1080 meter (--scope), 1.5 %; with
# the loudness view on at 180 x 1080 (--loudness), 1.2 %.
#
#   bench/display_cpu.sh PROGRAM WAV [options]
#     --seconds S     measured time per size (10)
#     --latency MS    the stored latency in milliseconds (20)
#     --fps N         the stored display frame rate, 2..30 (30)
#     --size WxH      a window size; repeat for several (180x1080 and 1920x1080)
#     --runs N        program starts per size; each is printed, then the median (3)
#     --no-realtime   run as root without the right to real-time priority, as
#                     an ordinary desktop user: the audio threads' request for
#                     it is refused and they run at normal priority
#     --bench PATH    also run the per-frame benchmark (display_bench)
#     --scope         the X/Y scope open too, 300 x 300, right of the meter window
#     --loudness      the loudness view (EBU R128) on in the meter window
#     --input monitor meter a live input instead of playing: WAV is played
#                     (repeated) into a private PulseAudio server's null sink
#                     and the program meters `--input monitor`, its monitor
#                     (budget: 1 % of one core at 180 x 1080)
#   The older form PROGRAM WAV [SECONDS] [WIDTH] measures one WIDTH x 1080 window.
set -uo pipefail
[ $# -ge 2 ] || { sed -n '2,/^set /p' "$0" | sed '$d'; exit 2; }
program=$(readlink -f "$1")
wav=$(readlink -f "$2")
shift 2
seconds=10 latency=20 fps=30 bench= sizes=() runs=3 realtime=1 scope=0 loudness=0 input=
if [[ $# -gt 0 && $1 != --* ]]; then
  seconds=$1
  [ $# -ge 2 ] && sizes=("$2x1080")
  shift $(($# >= 2 ? 2 : 1))
fi
while [ $# -gt 0 ]; do
  case $1 in
  --seconds) seconds=$2 ;;
  --latency) latency=$2 ;;
  --fps) fps=$2 ;;
  --size) sizes+=("$2") ;;
  --bench) bench=$(readlink -f "$2") ;;
  --runs) runs=$2 ;;
  --input) input=$2 ;;
  --no-realtime) realtime=0; shift; continue ;;
  --scope) scope=1; shift; continue ;;
  --loudness) loudness=1; shift; continue ;;
  *) echo "unknown option $1"; exit 2 ;;
  esac
  shift 2
done
[ ${#sizes[@]} -gt 0 ] || sizes=(180x1080 1920x1080)

# The screen holds the largest window with room to spare.
if [ -z "${KC_IN_XVFB:-}" ]; then
  sw=1024 sh=768
  for s in "${sizes[@]}"; do
    w=${s%x*} h=${s#*x}
    ((w + 64 + 310 * scope > sw)) && sw=$((w + 64 + 310 * scope))
    ((h + 64 > sh)) && sh=$((h + 64))
  done
  exec env KC_IN_XVFB=1 xvfb-run -a -s "-screen 0 ${sw}x${sh}x24 -nolisten tcp" \
    bash "$0" "$program" "$wav" --seconds "$seconds" --latency "$latency" --fps "$fps" \
    --runs "$runs" $([ "$realtime" = 0 ] && echo --no-realtime) $([ "$scope" = 1 ] && echo --scope) \
    $([ "$loudness" = 1 ] && echo --loudness) \
    ${input:+--input "$input"} \
    $(printf -- '--size %s ' "${sizes[@]}") ${bench:+--bench "$bench"}
fi
export QT_QPA_PLATFORM=xcb
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && { kill -TERM "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; }; rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config DBUS_SESSION_BUS_ADDRESS=disabled:
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
run_args=(--device silent "$wav")
if [ "$input" = monitor ]; then
  # lib.sh gives wait_for (Xvfb already runs: KC_IN_XVFB is set).
  source "$(dirname "$0")/../tests/system/lib.sh"
  source "$(dirname "$0")/../tests/system/pulse_lib.sh"
  pulse_setup
  export XDG_CONFIG_HOME=$work/config
  trap '[ -n "$pid" ] && { kill -TERM "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; }; pulse_cleanup; rm -rf "$work"' EXIT
  pulse_start || { echo "the sound server did not start"; exit 1; }
  # Long enough for every run: the measured seconds and the start-up of each.
  repeats=$(awk -v need=$(((seconds + 5) * runs * ${#sizes[@]})) -v d="$(soxi -D "$wav")" \
    'BEGIN { print int(need / d) + 1 }')
  sox "$wav" "$work/long.wav" repeat "$repeats"
  pulse_spawn "$work/paplay.log" paplay "$work/long.wav"
  run_args=(--input monitor)
  echo "input: the monitor of a private PulseAudio server's null sink, $wav playing into it"
elif [ -n "$input" ]; then
  echo "--input: only \"monitor\" is measured"; exit 2
fi

le32() { printf '%02x%02x%02x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
# The latency is stored in seconds as a little-endian float.
lefloat() { perl -e 'print unpack("H*", pack("f<", $ARGV[0]))' "$1"; }
latency_s=$(awk -v ms="$latency" 'BEGIN { printf "%.6f", ms / 1000 }')

echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores, $(uname -r)"
launch=()
if [ "$realtime" = 0 ] && [ "$(id -u)" = 0 ] && command -v capsh > /dev/null; then
  launch=(capsh --drop=cap_sys_nice -- -c 'exec "$0" "$@"')
  priority="real-time priority refused (as for an ordinary user)"
elif [ "$(id -u)" = 0 ]; then
  priority="real-time priority granted (root)"
else
  priority="as this user's limits allow"
fi
echo "latency $latency ms, $fps display frames per second, ${seconds} s per run, $runs runs per size; $priority"
[ "$scope" = 1 ] && echo "with the X/Y scope open, 300 x 300"
[ "$loudness" = 1 ] && echo "with the loudness view on"
status=0
for size in "${sizes[@]}"; do
  width=${size%x*} height=${size#*x}
  percents=()
  for run in $(seq "$runs"); do
    rm -rf "$XDG_CONFIG_HOME"
    mkdir -p "$XDG_CONFIG_HOME/korvalo-cor"
    # The frame rate ("nbFperS", 4 bytes little-endian), the latency, and the
    # stored window at the top left corner (edges inclusive).
    {
      printf '[Zandel_Audio\\TRLX\\Meter\\Korvalo Cor]\nnbFperS=binary:4:%s\n\n' "$(le32 "$fps")"
      printf '[Zandel_Audio\\demo]\nLatencyTime=binary:4:%s\n\n' "$(lefloat "$latency_s")"
      printf '[Zandel_Audio\\TRLX\\Korvalo Cor.]\nWindow x0=binary:4:%s\nWindow y0=binary:4:%s\nWindow x1=binary:4:%s\nWindow y1=binary:4:%s\n' \
        "$(le32 0)" "$(le32 0)" "$(le32 $((width - 1)))" "$(le32 $((height - 1)))"
      # The scope stored as open, right of the meter window.
      [ "$scope" = 1 ] &&
        printf 'XY x0=binary:4:%s\nXY y0=binary:4:%s\nXY x1=binary:4:%s\nXY y1=binary:4:%s\nXY Open=binary:4:%s\n' \
          "$(le32 $((width + 10)))" "$(le32 0)" "$(le32 $((width + 309)))" "$(le32 299)" "$(le32 1)"
      [ "$loudness" = 1 ] && printf 'Loudness (EBU R128)=binary:4:%s\n' "$(le32 1)"
    } > "$XDG_CONFIG_HOME/korvalo-cor/registry.ini"

    "${launch[@]}" "$program" "${run_args[@]}" > "$work/program.log" 2>&1 &
    pid=$!
    for _ in $(seq 300); do
      xdotool search --all --onlyvisible --pid "$pid" --name '^Korvalo$' > /dev/null 2>&1 && break
      sleep 0.1
    done
    win=$(xdotool search --all --onlyvisible --pid "$pid" --name '^Korvalo$' 2>/dev/null | head -1)
    [ "$scope" = 1 ] && ! xdotool search --all --onlyvisible --pid "$pid" --name '^X/Y$' > /dev/null 2>&1 && win=
    if [ -z "$win" ]; then
      echo "$size: no meter window"
      cat "$work/program.log"
      status=1
    else
      sleep 2 # start-up done, playing
      geometry=$(xdotool getwindowgeometry "$win" | sed -n 's/.*Geometry: //p')
      # Per thread: tid, CPU time in nanoseconds and context switches (the
      # scheduler's own counts, finer than the clock ticks of /proc/<pid>/stat).
      threads() {
        for t in /proc/$pid/task/*; do
          [ -r "$t/schedstat" ] || continue
          echo "${t##*/} $(cut -d' ' -f1 "$t/schedstat") $(awk '/ctxt_switches/ { n += $2 } END { print n }' "$t/status")"
        done | sort
      }
      threads > "$work/threads0"
      t0=$(date +%s.%N)
      sleep "$seconds"
      t1=$(date +%s.%N)
      threads > "$work/threads1"
      wall=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
      # The threads that used any CPU, the main thread first (its id is the pid).
      join "$work/threads0" "$work/threads1" | while read -r tid c0 w0 c1 w1; do
        [ "$c1" -gt "$c0" ] || continue
        name=$(cat "/proc/$pid/task/$tid/comm" 2>/dev/null)
        [ "$tid" = "$pid" ] && name="main thread"
        echo "$tid $((c1 - c0)) $((w1 - w0)) $name"
      done > "$work/delta"
      awk -v size="$size" -v run="$run" -v geometry="$geometry" -v wall="$wall" '
        { cpu += $2; wakes += $3; line[NR] = $0 }
        END {
          printf "%s run %d (window %s): CPU %.3f s over %.2f s wall: %.2f %% of one core, %.0f context switches/s\n",
            size, run, geometry, cpu / 1e9, wall, 100 * cpu / 1e9 / wall, wakes / wall
          for (i = 1; i <= NR; ++i) {
            split(line[i], f, " ")
            name = line[i]; sub(/^[^ ]+ [^ ]+ [^ ]+ /, "", name)
            printf "  thread %s (%s): %.2f %%, %.0f switches/s\n", f[1], name, 100 * f[2] / 1e9 / wall, f[3] / wall
          }
        }' "$work/delta" | tee "$work/summary"
      percents+=("$(sed -n '1s/.*wall: \([0-9.]*\) %.*/\1/p' "$work/summary")")
    fi
    kill -TERM "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    pid=
  done
  [ ${#percents[@]} -gt 0 ] &&
    printf '%s\n' "${percents[@]}" | sort -g | awk -v size="$size" '{ v[NR] = $1 } END {
      printf "%s median of %d runs: %.2f %% of one core\n", size, NR, NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
done
if [ -n "$bench" ]; then
  echo "per-frame benchmark:"
  QT_QPA_PLATFORM=offscreen "$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true 2>&1 |
    grep -E '^(Benchmark|display).*(median|Time)'
fi
exit $status

# Sourced after lib.sh by the scripts that use a private PulseAudio server
# (the sound-server system test and bench/pulse_latency.sh).
#
# The server has a null sink at 44100 Hz, s16le, stereo, whose monitor the
# scripts record with parec, a second one at 48000 Hz (kc_null48) for the
# live input's own rate, and listens on a socket in the scratch folder only. It runs in the foreground of a background job, so its process id is
# known: it is stopped by that id when the script ends, however it ends, and
# it receives SIGKILL should the script itself be killed (parent-death
# signal), as do the programs started with pulse_spawn.
#
# Root: PulseAudio outside its system mode only warns when run as root, and
# this private instance needs nothing of a user session, so the same command
# serves root in CI and normal users.

pulse_setup() {
  pulse_dir=$work/pulse
  mkdir -p -m 700 "$pulse_dir" "$pulse_dir/home"
  export PULSE_SERVER=unix:$pulse_dir/native
  export PULSE_RUNTIME_PATH=$XDG_RUNTIME_DIR/pulse
  export PULSE_STATE_PATH=$pulse_dir/state
  # Clients (the ALSA plugin, parec, pactl) keep their cookie here and never
  # start a server of their own while ours is down.
  export PULSE_COOKIE=$pulse_dir/cookie
  export PULSE_CLIENTCONFIG=$pulse_dir/client.conf
  printf 'autospawn = no\n' > "$PULSE_CLIENTCONFIG"
  cat > "$pulse_dir/server.pa" <<EOF
load-module module-null-sink sink_name=kc_null rate=44100 format=s16le channels=2
load-module module-null-sink sink_name=kc_null48 rate=48000 format=s16le channels=2
load-module module-native-protocol-unix socket=$pulse_dir/native auth-anonymous=1 auth-cookie-enabled=0
set-default-sink kc_null
EOF
  server_pid= record_pid= spawned_pids=()
  trap 'pulse_cleanup; rm -rf "$work"' EXIT
  trap 'exit 130' INT TERM
}

pulse_cleanup() {
  local p
  for p in ${spawned_pids[@]+"${spawned_pids[@]}"} $record_pid $server_pid; do
    kill -KILL "$p" 2>/dev/null && wait "$p" 2>/dev/null
  done
  return 0
}

pulse_up() { pactl list short sinks 2>/dev/null | grep -q kc_null; }

# pulse_start: starts the server and waits until its sink answers.
pulse_start() {
  HOME=$pulse_dir/home setpriv --pdeathsig KILL -- pulseaudio -n -F "$pulse_dir/server.pa" \
    --daemonize=no --system=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
    --log-target=file:"$work/pulse.log" &
  server_pid=$!
  wait_for 30 pulse_up
}

# pulse_kill: SIGKILL to the server, as a crash would end it.
pulse_kill() {
  kill -KILL "$server_pid"
  wait "$server_pid" 2>/dev/null
  server_pid=
}

# pulse_record FILE: records the sink's monitor (raw s16le 44100 Hz stereo)
# into FILE (a named pipe will do) and returns once the recording stream is
# connected.
pulse_record() {
  setpriv --pdeathsig KILL -- parec -d kc_null.monitor --raw --format=s16le --rate=44100 \
    --channels=2 --latency-msec=10 > "$1" &
  record_pid=$!
  recording() { [ -n "$(pactl list short source-outputs 2>/dev/null)" ]; }
  wait_for 30 recording
}

pulse_stop_record() {
  kill -KILL "$record_pid" 2>/dev/null
  wait "$record_pid" 2>/dev/null
  record_pid=
}

# pulse_spawn LOG COMMAND...: starts COMMAND in the background with its output
# in LOG; its process id is in `spawned`.
pulse_spawn() {
  local log=$1; shift
  setpriv --pdeathsig KILL -- "$@" > "$log" 2>&1 &
  spawned=$!
  spawned_pids+=("$spawned")
}

# cpu_ticks_during TENTHS PID: the user + system clock ticks PID used in that
# many tenths of a second, looking every tenth whether it still runs; -1 when
# it ended meanwhile.
cpu_ticks_during() {
  local ticks0 ticks1 i
  proc_ticks() { awk '{ sub(/.*\) /, ""); print $12 + $13 }' "/proc/$1/stat" 2>/dev/null; }
  ticks0=$(proc_ticks "$2") || { echo -1; return; }
  for ((i = 0; i < $1; i++)); do
    kill -0 "$2" 2>/dev/null || { echo -1; return; }
    sleep 0.1
  done
  ticks1=$(proc_ticks "$2") || { echo -1; return; }
  echo $((ticks1 - ticks0))
}

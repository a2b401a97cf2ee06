# Sourced by the system tests before they read their arguments: runs the
# calling script again under Xvfb, makes a scratch folder `work` (removed on
# exit) with a private runtime folder inside, and polls for conditions.

# The X server picks a free display itself (-displayfd), so system tests of
# several builds can run at once: `xvfb-run -a` races on the display number.
# Depth 24: probes compare window pixels with exact colours. -noreset: by
# default the server resets when its last client leaves, and a program that
# connects during that reset is refused (Qt then aborts), which happened
# between two starts of the program in one test.
if [ -z "${KC_IN_XVFB:-}" ]; then
  displayfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$displayfile" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 300); do
    [ -s "$displayfile" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$displayfile" ]; then
    echo "FAIL: Xvfb did not start"
    rm -f "$displayfile"
    exit 1
  fi
  display=":$(head -n 1 "$displayfile")"
  rm -f "$displayfile"
  KC_IN_XVFB=1 DISPLAY=$display bash "$0" "$@"
  rc=$?
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
  exit $rc
fi

export QT_QPA_PLATFORM=xcb
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/runtime
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
# No session bus under Xvfb: make D-Bus users (accessibility, portals) fail at
# once instead of trying to start one.
export DBUS_SESSION_BUS_ADDRESS=disabled:

# wait_for SECONDS COMMAND...: polls COMMAND every 0.1 s until it succeeds,
# for at most SECONDS of wall-clock time however long COMMAND itself takes.
wait_for() {
  local end=$(( ${EPOCHREALTIME/[.,]/} / 1000 + $1 * 1000 )); shift
  while :; do
    "$@" && return 0
    [ $(( ${EPOCHREALTIME/[.,]/} / 1000 )) -lt $end ] || return 1
    sleep 0.1
  done
}

# find_window NAME-REGEX: a visible window of the program $pid whose name
# matches; its id is left in $win. --all: without it xdotool takes a window
# matching any one of the criteria.
find_window() {
  win=$(xdotool search --all --onlyvisible --pid "$pid" --name "$1" 2>/dev/null | head -1)
  [ -n "$win" ]
}

# ended PID: the process is gone.
ended() { ! kill -0 "$1" 2>/dev/null; }

# stop_program PID [SECONDS]: ends the program with SIGTERM as a desktop
# session does and waits for it (SIGKILL after SECONDS, 30 by default).
# Prints what went wrong and fails when it hung or did not exit with 0.
stop_program() {
  local rc ok=0
  kill -TERM "$1" 2>/dev/null
  wait_for "${2:-30}" ended "$1" || { echo "FAIL: still running after SIGTERM"; kill -KILL "$1"; ok=1; }
  wait "$1"
  rc=$?
  [ "$rc" -eq 0 ] || { echo "FAIL: exit code $rc"; ok=1; }
  return $ok
}

# Sourced by the system tests before they read their arguments: runs the
# calling script again under Xvfb, makes a scratch folder `work` (removed on
# exit) with a private runtime folder inside, and polls for conditions.

# Depth 24: probes compare window pixels with exact colours.
if [ -z "${KC_IN_XVFB:-}" ]; then
  exec env KC_IN_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash "$0" "$@"
fi

export QT_QPA_PLATFORM=xcb
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/runtime
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
# No session bus under Xvfb: make D-Bus users (accessibility, portals) fail at
# once instead of trying to start one.
export DBUS_SESSION_BUS_ADDRESS=disabled:

# wait_for SECONDS COMMAND...: polls COMMAND every 0.1 s until it succeeds.
wait_for() {
  local tries=$(($1 * 10)); shift
  while [ $tries -gt 0 ]; do
    "$@" && return 0
    sleep 0.1
    tries=$((tries - 1))
  done
  return 1
}

# ended PID: the process is gone.
ended() { ! kill -0 "$1" 2>/dev/null; }

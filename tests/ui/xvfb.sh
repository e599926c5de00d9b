# Sourced by the scenario scripts of tests/ui.
#
# start_xvfb [XVFB ARGS...]: starts Xvfb (1024x768x24, no TCP, plus the
# arguments) on a display number of its own, sets xvfb_pid and exports
# DISPLAY. Returns 1, xvfb_pid empty, when no server came up in 30 tries.
# The number is picked at random from a high range: Xvfb's -displayfd reuses
# the lowest free number, and a server that is just ending elsewhere can then
# remove the new server's socket.
start_xvfb() {
  local attempt n
  for attempt in $(seq 30); do
    n=$((RANDOM % 900 + 100))
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 "$@" -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
      kill -0 "$xvfb_pid" 2>/dev/null || break
      if xdpyinfo -display ":$n" >/dev/null 2>&1; then
        # Answered by our own server, not by another test's server that took
        # the number first (ours then ends, failing to claim it).
        sleep 0.3
        kill -0 "$xvfb_pid" 2>/dev/null || break
        export DISPLAY=":$n"
        return 0
      fi
      sleep 0.1
    done
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=
  done
  return 1
}

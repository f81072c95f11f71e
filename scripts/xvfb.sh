# Sourced by the test and run scripts: a private virtual X display.
#   xvfb_start [WxHxD [ARG...]]   starts Xvfb on a free display and exports DISPLAY;
#                                 the ARGs go to Xvfb (-extension GLX, say)
#   xvfb_stop            stops it again
# The server picks its own free display number (-displayfd), so that engineers and
# test runs sharing a machine never race for the same one.
xvfb_start() {
  local geometry=${1:-1024x768x24} number
  [ $# -eq 0 ] || shift
  number=$(mktemp)
  # No standard stream of ours stays open in the server: a caller that waits for
  # our output to end (CTest does) must not wait for the display too.
  Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp "$@" 3>"$number" </dev/null >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do
    if [ -s "$number" ]; then
      export DISPLAY=":$(tr -dc 0-9 <"$number")"
      if xdpyinfo >/dev/null 2>&1; then
        rm -f "$number"
        return 0
      fi
    fi
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$number"
  echo "Xvfb did not start" >&2
  return 1
}

xvfb_stop() {
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=""
  return 0
}

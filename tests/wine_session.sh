#!/usr/bin/env bash
# One Wine session for a whole CTest run of the Windows build: the test prefix with
# what it needs, one wineserver that lives from the first test to the last, and,
# when there is no DISPLAY, a virtual X display of its own.
#   wine_session.sh start PREFIX   (the fixture's set-up)
#   wine_session.sh stop PREFIX    (its clean-up)
#
# Why one server: Wine's server ends a few seconds after its last program, and a
# program that starts while it is ending fails with "recvmsg: Connection reset by
# peer". A persistent server never ends between two tests. The tests therefore
# never run `wineserver -k`; they end only the programs they started.
#
# The display goes to the tests through PREFIX.display, which scripts/wine-run and
# the end-to-end tests read when DISPLAY is unset.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scripts=$here/../scripts

action=${1:?start or stop}
export WINEPREFIX=${2:?prefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
display_file=$WINEPREFIX.display
xvfb_pid_file=$WINEPREFIX.xvfb-pid

stop() {
  # Everything still running in the prefix, then the server itself; -w returns once
  # the server has let go of the prefix.
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  if [ -f "$xvfb_pid_file" ]; then
    local pid
    pid=$(cat "$xvfb_pid_file")
    # Only the Xvfb this script started: the pid must still be an Xvfb.
    if [ "$(ps -o comm= -p "$pid" 2>/dev/null)" = Xvfb ]; then
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    fi
  fi
  rm -f "$xvfb_pid_file" "$display_file"
}

case $action in
stop)
  stop
  echo "wine session ended"
  ;;
start)
  # What an earlier run left behind, if it was stopped before its clean-up.
  stop
  if [ -z "${DISPLAY:-}" ]; then
    . "$scripts/xvfb.sh"
    xvfb_start 1024x768x24
    echo "$XVFB_PID" >"$xvfb_pid_file"
    echo "$DISPLAY" >"$display_file"
    echo "virtual display $DISPLAY (Xvfb pid $XVFB_PID)"
  else
    echo "display $DISPLAY"
  fi
  # The prefix, made on first use, and the setting every test needs: no window
  # manager runs on the test display, so Wine must not wait for one.
  bash "$scripts/wine-run" --prefix "$WINEPREFIX"
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
  # The saver runs its water on OpenGL wherever the display offers it (llvmpipe would
  # never be chosen by itself): every end-to-end test sees the GL engine.
  wine reg add 'HKCU\Software\Quorvane Inc.\rillo\Config' /v Engine /d gl /f </dev/null >/dev/null 2>&1
  # The server that made the change writes it out as it ends; then the lasting one.
  wineserver -w
  wineserver -p </dev/null >/dev/null 2>&1
  managed=$(wine reg query 'HKCU\Software\Wine\X11 Driver' /v Managed </dev/null 2>/dev/null |
    tr -d '\r' | awk '$1 == "Managed" { print $3 }')
  [ "$managed" = N ] || { echo "the prefix does not say Managed=N (${managed:-unset})"; exit 1; }
  echo "wine session in $WINEPREFIX"
  ;;
*)
  echo "usage: wine_session.sh start|stop PREFIX" >&2
  exit 2
  ;;
esac

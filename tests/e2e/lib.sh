# Shared by the end-to-end tests. Each test runs the real rillo.scr under Wine on
# the X display that the test command started, and kills only what it started.
set -euo pipefail

: "${RILLO_SCR:?}" "${RILLO_DRIVER:?}" "${WINE_RUN:?}" "${WINEPREFIX:?}" "${E2E_WORK:?}"
export WINEPREFIX WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
[ -n "${DISPLAY:-}" ] || { echo "e2e tests need an X display"; exit 1; }

work="$E2E_WORK/$(basename "$0" .sh)"
rm -rf "$work"
mkdir -p "$work"
started=()
failures=0

# Ends everything the test started, Windows programs included: the prefix is the
# test run's own, so whatever still runs in it is ours.
cleanup() {
  for p in "${started[@]}"; do kill "$p" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT

ok() { echo "ok: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then ok "$what"; else fail "$what"; fi
}
finish() {
  [ "$failures" -eq 0 ] && { echo "all checks passed"; exit 0; }
  echo "$failures check(s) failed"; exit 1
}

wine_run() { bash "$WINE_RUN" --prefix "$WINEPREFIX" "$@"; }

# Unix paths of the saver's Windows directory and temporary directory.
windows_dir() { echo "$WINEPREFIX/drive_c/windows"; }
# Wine's cmd now and then prints nothing on a busy machine: ask again.
temp_dir() {
  local t="" try
  for try in 1 2 3; do
    t=$(wine_run cmd /c echo %TEMP% 2>/dev/null | tr -d '\r') || true
    [ -n "$t" ] && break
    sleep 1
  done
  [ -n "$t" ] && winepath -u "$t" 2>/dev/null
}
settings_file() { echo "$(windows_dir)/rillolst.txt"; }

# Starts a program in the background; its pid is in $last_pid. A Windows program is
# started through wine-run, which execs Wine, so the pid is the program's own.
spawn() {
  if [ "$1" = wine_run ]; then
    shift
    bash "$WINE_RUN" --prefix "$WINEPREFIX" "$@" &
  else
    "$@" &
  fi
  last_pid=$!
  started+=("$last_pid")
}

# wait_exit PID SECONDS: 0 when the process ended in time; its status in $exit_code.
wait_exit() {
  local pid=$1 deadline=$((SECONDS + $2))
  while kill -0 "$pid" 2>/dev/null; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.05
  done
  set +e; wait "$pid"; exit_code=$?; set -e
  return 0
}

# Waits until the full-screen window takes posted messages.
wait_saver_window() {
  local deadline=$((SECONDS + 20))
  until wine_run "$RILLO_DRIVER" post RilloWater 0 0 0 >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}

screenshot() { import -window root "$1"; }

# Shows a picture over the whole screen, as the desktop the saver photographs.
show_desktop() {
  spawn wine_run "$RILLO_DRIVER" show "$(winepath -w "$1")" "${2:-600}"
  desktop_pid=$last_pid
  sleep 3
}

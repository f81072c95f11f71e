# Shared by the end-to-end tests. Each test runs the real rillo.scr under Wine on
# the test session's X display and ends only what it started: the session's
# wineserver lives on for the tests after it (see tests/wine_session.sh).
set -euo pipefail

: "${RILLO_SCR:?}" "${RILLO_DRIVER:?}" "${WINE_RUN:?}" "${WINEPREFIX:?}" "${E2E_WORK:?}"
export WINEPREFIX WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
if [ -z "${DISPLAY:-}" ] && [ -s "$WINEPREFIX.display" ]; then
  DISPLAY=$(cat "$WINEPREFIX.display")
  export DISPLAY
fi
[ -n "${DISPLAY:-}" ] || { echo "e2e tests need an X display (run them through ctest)"; exit 1; }

work="$E2E_WORK/$(basename "$0" .sh)"
rm -rf "$work"
mkdir -p "$work"
started=()
failures=0

# Windows programs running in the test prefix, as Unix pids: the ones the test
# started and the ones those started in turn (a saver started by a driver, a browser
# started by the saver). Wine's own system programs are left to the session.
prefix_programs() {
  local pid cmd
  for pid in $(pgrep -f '[.](exe|scr)( |$)' || true); do
    [ "$pid" != $$ ] || continue
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    cmd=$(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null) || continue
    case $cmd in [Cc]:\\windows\\*) continue ;; esac
    echo "$pid"
  done
}

# Ends everything the test started, and waits until it is gone, so that the next
# test finds no window of ours left over.
cleanup() {
  local p left
  for p in "${started[@]}"; do kill "$p" 2>/dev/null || true; done
  for _ in $(seq 50); do
    left=$(prefix_programs)
    [ -n "$left" ] || break
    # shellcheck disable=SC2086
    kill $left 2>/dev/null || true
    sleep 0.1
  done
  # shellcheck disable=SC2086
  [ -z "$left" ] || kill -9 $left 2>/dev/null || true
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
  for try in 1 2 3 4 5; do
    t=$(wine_run cmd /c echo %TEMP% 2>/dev/null | tr -d '\r') || true
    [ -n "$t" ] && break
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

# saver_ticks N: the saver's window has taken N ticks of its own timer (its message
# loop runs) within 20 s.
saver_ticks() {
  local got
  got=$(wine_run "${RILLO_TICK_WATCH:?}" watch RilloWater 20 100 "$1" | tr -d '\r' |
    awk '$1 == "sample" { t = $3 } END { print t + 0 }')
  [ "$got" -ge "$1" ]
}

# wait_for SECONDS COMMAND...: 0 once the command succeeds, 1 when time runs out.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}

# screen_shows PICTURE [X Y]: the screen holds the picture at (X, Y), by default its
# top-left corner, pixel for pixel.
screen_shows() {
  local size
  size=$(identify -format '%wx%h' "$1") || return 1
  import -window root -crop "$size+${2:-0}+${3:-0}" +repage "$work/screen-now.png" 2>/dev/null ||
    return 1
  [ "$(compare -metric AE "$1" "$work/screen-now.png" null: 2>&1)" = 0 ]
}

# Defines render and frame_match: the engine as the host builds it, when it is built
# (the Windows saver is then held to the native build's frames), otherwise this
# build's own tools under Wine.
use_engine_tools() {
  : "${RILLO_RENDER:?}" "${RILLO_FRAME_MATCH:?}" "${RILLO_RENDER_EXE:?}" "${RILLO_FRAME_MATCH_EXE:?}"
  if [ -x "$RILLO_RENDER" ] && [ -x "$RILLO_FRAME_MATCH" ]; then
    echo "engine: the host build's tools"
    render() { "$RILLO_RENDER" "$@"; }
    frame_match() { "$RILLO_FRAME_MATCH" "$@"; }
  else
    echo "engine: this build's tools under Wine (no host build in build/host)"
    render() { engine_on_wine "$RILLO_RENDER_EXE" "$@"; }
    frame_match() { engine_on_wine "$RILLO_FRAME_MATCH_EXE" "$@"; }
  fi
}
# Wine reads a Unix path as one on the current drive: the tool gets Windows paths.
engine_on_wine() {
  local exe=$1 a args=()
  shift
  for a in "$@"; do
    case $a in /*) args+=("$(winepath -w "$a")") ;; *) args+=("$a") ;; esac
  done
  wine_run "$exe" "${args[@]}" | tr -d '\r'
}

# screen_changes SECONDS: two screenshots taken up to SECONDS apart differ.
screen_changes() {
  local deadline=$((SECONDS + $1))
  import -window root "$work/screen-a.png"
  until import -window root "$work/screen-b.png" &&
    [ "$(compare -metric AE "$work/screen-a.png" "$work/screen-b.png" null: 2>&1)" != 0 ]; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}

# Shows a picture over the whole screen, as the desktop the saver photographs, and
# waits until the screen holds it.
show_desktop() {
  spawn wine_run "$RILLO_DRIVER" show "$(winepath -w "$1")" "${2:-600}"
  desktop_pid=$last_pid
  wait_for 30 screen_shows "$1" || { echo "FAIL: the desktop picture never showed"; exit 1; }
}

# Which engine a running saver uses, seen from outside the process. The GL engine on
# llvmpipe (Mesa's renderer on the processor, which a virtual display gives Wine)
# keeps llvmpipe's drawing threads busy; the processor engine never draws through
# OpenGL, so those threads stay idle or do not exist.
# llvmpipe_ticks PID: the processor time, in clock ticks, of PID's llvmpipe threads.
llvmpipe_ticks() {
  local t sum=0 comm
  for t in /proc/"$1"/task/*; do
    comm=$(cat "$t/comm" 2>/dev/null) || continue
    case $comm in llvmpipe-*) sum=$((sum + $(awk '{ print $14 + $15 }' "$t/stat" 2>/dev/null || echo 0))) ;; esac
  done
  echo "$sum"
}
# gl_draws PID SECONDS: llvmpipe's threads in PID work within SECONDS.
gl_draws() {
  local start
  start=$(llvmpipe_ticks "$1")
  wait_for "$2" eval '[ "$(llvmpipe_ticks '"$1"')" -ge $((start + 3)) ]'
}
# maps_has PID PATTERN: a module whose path matches PATTERN is mapped into PID.
maps_has() { grep -qiE "$2" "/proc/$1/maps" 2>/dev/null; }

# set_engine VALUE: the profile's "Engine" value for the next start; none: no value.
set_engine() {
  local key='HKCU\Software\Quorvane Inc.\rillo\Config'
  if [ "$1" = none ]; then
    wine_run reg delete "$key" /v Engine /f >/dev/null 2>&1 || true
  else
    wine_run reg add "$key" /v Engine /d "$1" /f >/dev/null 2>&1
  fi
}

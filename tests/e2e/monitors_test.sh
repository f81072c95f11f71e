#!/usr/bin/env bash
# The saver over several monitors: each monitor shows water of its own over its own
# part of the desktop, bit for bit the frame that rillo-render gives for that part and
# the monitor's seed; a move on any monitor ends the saver with code 0, and no window
# is left. Two monitors of different sizes with a gap below the smaller one, the
# primary on the left and then on the right (the other monitor at negative
# coordinates), then three monitors.
#
# Wine reports Xinerama heads as monitors when told not to use XRandR: a nested X
# server (Xephyr) on the test display provides the heads.
. "$(dirname "$0")/lib.sh"

: "${RILLO_TICK_WATCH:?}"
use_engine_tools
command -v Xephyr >/dev/null || { echo "Xephyr is missing (scripts/bootstrap installs it)"; exit 1; }

section() { echo "== $*"; }

host_display=$DISPLAY
# A prefix of the test's own: the X11 driver's settings below are for these heads only.
main_prefix=$WINEPREFIX
export WINEPREFIX=$work/prefix
if [ -f "$main_prefix/system.reg" ]; then cp -a "$main_prefix" "$WINEPREFIX"; fi
wine_run

xephyr_pid=""
# start_heads GEOMETRY...: a nested X server with one Xinerama head per geometry.
start_heads() {
  stop_heads
  local n=150 args=()
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  for g in "$@"; do args+=(-screen "$g"); done
  DISPLAY=$host_display Xephyr ":$n" +xinerama "${args[@]}" -nolisten tcp -ac >/dev/null 2>&1 &
  xephyr_pid=$!
  started+=("$xephyr_pid")
  export DISPLAY=":$n"
  for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
  echo "Xephyr did not start"; return 1
}
stop_heads() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  [ -n "$xephyr_pid" ] && kill "$xephyr_pid" 2>/dev/null && wait "$xephyr_pid" 2>/dev/null
  xephyr_pid=""
  return 0
}

# set_primary N: the X11 driver's settings for these heads, read when Wine starts.
set_primary() {
  wineserver -k 2>/dev/null || true
  local key='HKCU\Software\Wine\X11 Driver'
  wine_run reg add "$key" /v UseXRandR /d N /f >/dev/null 2>&1
  wine_run reg add "$key" /v Managed /d N /f >/dev/null 2>&1
  wine_run reg add "$key" /v PrimaryMonitor /d "$1" /f >/dev/null 2>&1
  # The water on OpenGL, which these heads offer too.
  wine_run reg add 'HKCU\Software\Quorvane Inc.\rillo\Config' /v Engine /d gl /f >/dev/null 2>&1
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
}

# Waits until the saver has $1 visible windows; their rectangles in $work/windows.
wait_windows() {
  local deadline=$((SECONDS + 20))
  while :; do
    wine_run "$RILLO_DRIVER" windows RilloWater 2>/dev/null | tr -d '\r' >"$work/windows"
    grep -qx "count $1" "$work/windows" && return 0
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}

# run_layout NAME: shows a picture on every monitor, runs the saver, matches each
# monitor's part of the screen with its frame, and ends the saver with two moves on
# the last monitor in the saver's order.
run_layout() {
  local name=$1
  section "$name"
  wine_run "$RILLO_DRIVER" monitors | tr -d '\r' >"$work/$name.monitors"
  cat "$work/$name.monitors"
  # The saver's order: the primary first, then by left edge, then top edge.
  { grep ' primary$' "$work/$name.monitors"; grep ' other$' "$work/$name.monitors" | sort -n -k1,1 -k2,2; } \
    >"$work/$name.order"
  local count vx vy
  count=$(wc -l <"$work/$name.order")
  vx=$(awk 'NR == 1 || $1 < m { m = $1 } END { print m }' "$work/$name.order")
  vy=$(awk 'NR == 1 || $2 < m { m = $2 } END { print m }' "$work/$name.order")
  local show=() place=0 l t r b kind
  while read -r l t r b kind; do
    bash "$(dirname "$0")/../../scripts/sample-desktop" $((r - l)) $((b - t)) "$work/$name.$place.bmp"
    # Every monitor a picture of its own: turn the colours of the others.
    [ "$place" -eq 0 ] || convert "$work/$name.$place.bmp" -modulate 100,100,$((40 * place)) \
      -type TrueColor BMP3:"$work/$name.$place.bmp"
    show+=("$(winepath -w "$work/$name.$place.bmp")" "$l" "$t")
    place=$((place + 1))
  done <"$work/$name.order"
  spawn wine_run "$RILLO_DRIVER" show "${show[0]}" 120 "${show[@]:1}"
  local shower=$last_pid
  place=0
  while read -r l t r b kind; do
    wait_for 30 screen_shows "$work/$name.$place.bmp" $((l - vx)) $((t - vy)) ||
      fail "$name: monitor $place shows its picture"
    place=$((place + 1))
  done <"$work/$name.order"

  xdotool mousemove $((10 - vx)) $((10 - vy)) # on the primary
  spawn wine_run "$RILLO_SCR" /s
  local saver=$last_pid
  check "$name: a window on each of the $count monitors" wait_windows "$count"
  place=0
  while read -r l t r b kind; do
    check "$name: monitor $place's window is its rectangle ($l $t $r $b)" \
      grep -qx "window $l $t $r $b" "$work/windows"
    place=$((place + 1))
  done <"$work/$name.order"

  # Once the rain has changed every monitor's part of the screen, one screenshot in
  # which each part is a whole frame of that monitor's water.
  all_match() {
    local matched=0 n
    import -window root "$work/$name.shot.png"
    place=0
    while read -r l t r b kind; do
      convert "$work/$name.shot.png" -crop "$((r - l))x$((b - t))+$((l - vx))+$((t - vy))" +repage \
        -type TrueColor BMP3:"$work/$name.shot.$place.bmp"
      rm -f "$work/$name.ticks.$place"
      if [ "$(compare -metric AE "$work/$name.$place.bmp" "$work/$name.shot.$place.bmp" null: 2>&1)" != 0 ] &&
        n=$(frame_match --wavelength 90 --amplitude 200 --seed $((100 + place)) \
          --max-ticks 2000 "$work/$name.$place.bmp" "$work/$name.shot.$place.bmp"); then
        echo "$n" >"$work/$name.ticks.$place"
        matched=$((matched + 1))
      fi
      place=$((place + 1))
    done <"$work/$name.order"
    [ "$matched" -eq "$count" ]
  }
  wait_for 60 all_match || true
  place=0
  while read -r l t r b kind; do
    local ticks diff
    ticks=$(cat "$work/$name.ticks.$place" 2>/dev/null || echo none)
    if [ "$ticks" = none ]; then
      fail "$name: monitor $place shows a frame of its own water (seed $((100 + place)))"
    else
      render --ticks "$ticks" --wavelength 90 --amplitude 200 --seed $((100 + place)) \
        "$work/$name.$place.bmp" "$work/$name.render.$place.bmp" >/dev/null
      diff=$(compare -metric AE "$work/$name.render.$place.bmp" "$work/$name.shot.$place.bmp" \
        null: 2>&1 || true)
      check "$name: monitor $place ($kind) equals rillo-render --seed $((100 + place)) after $ticks ticks (AE $diff)" \
        test "$diff" = 0
    fi
    place=$((place + 1))
  done <"$work/$name.order"

  check "$name: the GL engine draws (llvmpipe's threads work)" gl_draws "$saver" 10

  # Moves on the last monitor.
  moves_end "$name" "$(tail -n 1 "$work/$name.order")" "$vx" "$vy" "$saver"

  # Again, ended from the primary monitor.
  xdotool mousemove $((10 - vx)) $((10 - vy))
  spawn wine_run "$RILLO_SCR" /s
  saver=$last_pid
  wait_windows "$count" || true
  moves_end "$name" "$(head -n 1 "$work/$name.order")" "$vx" "$vy" "$saver"
  kill "$shower" 2>/dev/null || true
  wait_exit "$shower" 5 || true
}

# moves_end NAME "MONITOR LINE" VX VY PID: two moves on that monitor end the saver.
moves_end() {
  local name=$1 l t r b kind vx=$3 vy=$4 saver=$5
  read -r l t r b kind <<<"$2"
  # The second move comes once the first has reached the saver. (Wine gives the
  # saver a move where the pointer stands as its windows appear, so the first move
  # usually ends it already.)
  local log=$work/$name.listen.log
  spawn wine_run "$RILLO_TICK_WATCH" listen RilloWater 10 0x0200 >"$log"
  local listener=$last_pid
  wait_for 20 grep -q '^listening' "$log" || true
  xdotool mousemove $((l + 50 - vx)) $((t + 50 - vy))
  wait_for 15 grep -q '^seen 0x0200' "$log" || true
  xdotool mousemove $((l + 90 - vx)) $((t + 70 - vy))
  check "$name: moves on the $kind monitor at ($l, $t) end the saver within 3 s" wait_exit "$saver" 3
  check "$name: with exit code 0 (${exit_code:-none})" test "${exit_code:-1}" = 0
  check "$name: no saver window is left" wait_windows 0
  wait_exit "$listener" 15 || true
}

printf 'e2e\r\n90\r\n200' >"$(windows_dir)/rillolst.txt"

start_heads 800x600 640x480
set_primary 0
run_layout "primary-left"
set_primary 1
run_layout "primary-right"

start_heads 800x600 640x480 320x240
set_primary 0
run_layout "three-monitors"

section "display change"
# A monitor attached, detached or resized: the windows no longer fit, the saver ends.
spawn wine_run "$RILLO_SCR" /s
saver=$last_pid
wait_windows 3 || true
wine_run "$RILLO_DRIVER" post RilloWater 0x7E 32 0 >/dev/null 2>&1 || true
check "a display change ends the saver within 3 s" wait_exit "$saver" 3
check "with exit code 0" test "${exit_code:-1}" = 0
check "no saver window is left" wait_windows 0
stop_heads
finish

#!/usr/bin/env bash
# CPU time of the full-screen saver: runs each given rillo.scr under Wine on a
# virtual display of its own over a sample desktop, and reads the user and system
# time of its Unix process (/proc/<pid>/stat) over a stretch of running that starts
# once the saver is up. Not a test: it prints the figures.
#   bench/scr_cpu_time.sh [--seconds N] [--size WxH] SCR [SCR...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=60
size=1920x1080
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--seconds N] [--size WxH] SCR [SCR...]" >&2; exit 2; }
driver=$root/build/win64/tests/e2e/rillo_driver.exe
[ -f "$driver" ] || { echo "build the win64 preset first (rillo_driver)" >&2; exit 2; }

out=$root/build/bench-cpu
mkdir -p "$out"
export WINEPREFIX=$out/wineprefix
bash scripts/wine-run --prefix "$WINEPREFIX"
. scripts/xvfb.sh
cleanup() { wineserver -k 2>/dev/null || true; xvfb_stop; }
trap cleanup EXIT
xvfb_start "${size}x24"
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
bash scripts/sample-desktop "${size%x*}" "${size#*x}" "$out/desktop.bmp"
ticks=$(getconf CLK_TCK)

# utime + stime of a process, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

for scr in "$@"; do
  bash scripts/wine-run --prefix "$WINEPREFIX" "$driver" show \
    "$(winepath -w "$out/desktop.bmp")" $((seconds + 60)) >/dev/null 2>&1 &
  shower=$!
  # The saver photographs whatever is on the screen: wait for the desktop to show.
  for _ in $(seq 100); do
    [ "$(import -window root -crop 1x1+100+100 -format '%[fx:mean]' info: 2>/dev/null)" != 0 ] && break
    sleep 0.1
  done
  # wine-run and wine exec into the program, so this pid is the saver's process.
  bash scripts/wine-run --prefix "$WINEPREFIX" "$scr" /s >/dev/null 2>&1 &
  saver=$!
  # Start-up (snapshot, surfaces) is left out: the count starts once the saver
  # has used a second of CPU, and a few seconds later.
  for _ in $(seq 300); do
    [ "$(cpu_ticks "$saver")" -gt "$ticks" ] && break
    sleep 0.1
  done
  sleep 3
  before=$(cpu_ticks "$saver")
  sleep "$seconds"
  after=$(cpu_ticks "$saver")
  xdotool key space
  wait "$saver" || true
  kill "$shower" 2>/dev/null || true
  wait "$shower" 2>/dev/null || true
  awk -v s="$scr" -v d=$((after - before)) -v t="$ticks" -v n="$seconds" -v z="$size" \
    'BEGIN { printf "%s: %.2f s CPU over %d s at %s (%.1f %%)\n", s, d / t, n, z, 100 * d / t / n }'
done

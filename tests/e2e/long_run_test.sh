#!/usr/bin/env bash
# A long full-screen run: at least 10,000 ticks of rain on the processor engine, then
# 2,000 on the GL engine (llvmpipe, on the processor too, takes some 40 ms a tick),
# driven from outside as fast as the saver takes them (tick_watch posts WM_TIMER to its
# window; its own 60 ms timer ticks on as well). The saver's GDI objects and memory
# stay flat, the water still moves at the end, and a key still ends it cleanly.
. "$(dirname "$0")/lib.sh"
: "${RILLO_TICK_WATCH:?}"
wine_run # makes the prefix on first use

# Flat: after the warm-up, the last sample holds no more GDI objects than the first,
# and at most this much more anonymous memory (the sampling's own noise).
memory_slack_kb=2048
warm_up_ms=10000

read -r W H < <(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1], d[2] }')
bash "$(dirname "$0")/../../scripts/sample-desktop" "$W" "$H" "$work/desktop.bmp"
show_desktop "$work/desktop.bmp" 600

# long_run ENGINE TICKS: a run of at least TICKS ticks on the engine the profile's
# value ENGINE chooses.
long_run() {
  local engine=$1 want_ticks=$2
  echo "== Engine $engine"
  set_engine "$engine"

  xdotool mousemove 500 400
  spawn wine_run "$RILLO_SCR" /s
  saver=$last_pid

  # tick_watch counts the ticks and the GDI handle table from outside the saver. Wine's
  # GetGuiResources always answers 0, and it gives no private bytes or handle count of
  # another process: the memory is read here instead, from the Unix process that runs
  # the saver, at the same pace.
  spawn wine_run "$RILLO_TICK_WATCH" drive RilloWater 240 5000 "$want_ticks" >"$work/watch.log"
  watcher=$last_pid
  unix_pid=""
  for _ in $(seq 100); do
    unix_pid=$(pgrep -f "^$RILLO_SCR /s\$" | head -n 1) && [ -n "$unix_pid" ] && break
    sleep 0.1
  done
  check "the saver's process is found (pid ${unix_pid:-none})" test -n "$unix_pid"
  if [ "$engine" = gl ]; then
    check "the GL engine draws (llvmpipe's threads work)" gl_draws "$unix_pid" 10
  fi
  start=$SECONDS
  : >"$work/memory"
  while kill -0 "$watcher" 2>/dev/null; do
    if [ -n "$unix_pid" ] && [ -r "/proc/$unix_pid/status" ]; then
      echo "$((SECONDS - start)) $(awk '/^(RssAnon|VmRSS|VmData):/ { printf "%s=%s ", $1, $2 }' \
        "/proc/$unix_pid/status")" >>"$work/memory"
    fi
    sleep 5
  done
  wait_exit "$watcher" 5 || true
  elapsed=$((SECONDS - start))
  tr -d '\r' <"$work/watch.log" >"$work/watch.txt"
  echo "tick_watch samples (ms ticks gdi-table gui-gdi gui-user private-kb handles):"
  sed -n 's/^sample //p' "$work/watch.txt"
  echo "memory samples (s, kB):"
  cat "$work/memory"

  # The first sample after the warm-up, and the last one.
  read -r base_ms base_ticks base_gdi _ < <(awk -v w=$warm_up_ms '$1 == "sample" && $2 >= w { print $2, $3, $4; exit }' "$work/watch.txt")
  read -r last_ms last_ticks last_gdi _ < <(awk '$1 == "sample" { l = $2 " " $3 " " $4 } END { print l }' "$work/watch.txt")
  check "the tick hook is in the saver" grep -q "tick hook set" "$work/watch.txt"
  check "at least $want_ticks ticks ran (${last_ticks:-none} in ${last_ms:-?} ms)" \
    test "${last_ticks:-0}" -ge "$want_ticks"
  check "GDI objects stay flat: ${base_gdi:-?} at ${base_ms:-?} ms, ${last_gdi:-?} at the end" \
    test -n "${base_gdi:-}" -a "${base_gdi:-0}" -gt 0 -a "${last_gdi:-0}" -le "$((${base_gdi:-0} + 4))"
  # Memory from the warm-up on: the first sample taken after it, and the last.
  kb() { sed -n "s/.*$1:=\([0-9]*\).*/\1/p"; }
  warm_s=$((warm_up_ms / 1000))
  base_line=$(awk -v w=$warm_s '$1 >= w { print; exit }' "$work/memory")
  last_line=$(tail -n 1 "$work/memory")
  for field in RssAnon VmData; do
    b=$(kb $field <<<"$base_line"); l=$(kb $field <<<"$last_line")
    check "$field stays flat: ${b:-?} kB after the warm-up, ${l:-?} kB at the end (slack $memory_slack_kb kB)" \
      test -n "$b" -a -n "$l" -a "${l:-0}" -le "$((${b:-0} + memory_slack_kb))"
  done

  check "the saver still runs after $elapsed s" kill -0 "$saver"
  check "the water still moves at the end, on its own timer" screen_changes 5
  xdotool key space
  check "a key ends the saver within 2 s" wait_exit "$saver" 2
  check "with exit code 0" test "${exit_code:-1}" = 0
}

long_run cpu 10000
long_run gl 2000
set_engine gl
finish

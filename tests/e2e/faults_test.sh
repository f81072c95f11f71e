#!/usr/bin/env bash
# Faults the saver meets outside the lab, each on the real rillo.scr: a settings file
# that another program holds open, or that holds garbage; a temporary directory that
# cannot be written; a flood of input; a preview pane that disappears under it.
# Whatever happens, nothing is lost and the saver ends cleanly. A settings file that
# cannot be rewritten sends Save to the user's own file instead.
. "$(dirname "$0")/lib.sh"
: "${RILLO_SETTINGS_DRIVER:?}" "${RILLO_TICK_WATCH:?}"
wine_run # makes the prefix on first use

scr=$(winepath -w "$RILLO_SCR")
file=$(settings_file)
dialog() { wine_run "$RILLO_SETTINGS_DRIVER" run "$scr" "$@"; }
driver() { wine_run "$RILLO_DRIVER" "$@"; }
tick_watch() { wine_run "$RILLO_TICK_WATCH" "$@"; }
win() { winepath -w "$1"; }
unchanged() { cmp -s "$file" "$work/before"; }
holds() { cmp -s "$1" <(printf "$2"); }
# The user's own settings file, where Save goes when the Windows folder's file cannot
# be rewritten; it is read before that file, so each case removes it again.
own="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Rillo/rillolst.txt"
rm -f "$own"

# The prefix is shared by all the end-to-end tests: put back the settings file and
# the temporary directory as they were found.
env_key='HKCU\Environment'
reg_value() { # reg_value NAME: "TYPE|DATA", or nothing when the value is absent
  wine_run reg query "$env_key" /v "$1" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$1 \{1,\}\(REG_[A-Z_]*\) \{1,\}\(.*\)\$/\1|\2/p"
}
set_temp() { # set_temp WINDOWS-PATH: TEMP and TMP of the user's environment
  wine_run reg add "$env_key" /v TEMP /t REG_SZ /d "$1" /f >/dev/null 2>&1
  wine_run reg add "$env_key" /v TMP /t REG_SZ /d "$1" /f >/dev/null 2>&1
}
saved_temp=$(reg_value TEMP)
saved_tmp=$(reg_value TMP)
if [ -e "$file" ]; then cp "$file" "$work/original"; fi
restore() {
  cleanup
  rm -f "$own"
  if [ -e "$work/original" ]; then cp "$work/original" "$file"; else rm -f "$file"; fi
  local name saved
  for name in TEMP TMP; do
    [ $name = TEMP ] && saved=$saved_temp || saved=$saved_tmp
    if [ -n "$saved" ]; then
      wine_run reg add "$env_key" /v $name /t "${saved%%|*}" /d "${saved#*|}" /f >/dev/null 2>&1 || true
    else
      wine_run reg delete "$env_key" /v $name /f >/dev/null 2>&1 || true
    fi
  done
}
trap restore EXIT
trap 'echo "stopped by a failing command at line $LINENO"' ERR

wait_file() { # wait_file PATH SECONDS
  local deadline=$((SECONDS + $2))
  until [ -e "$1" ]; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}
# full_screen_run WHAT [TICKS]: the saver covers the screen and ticks (TICKS of them,
# driven as fast as it takes them, when given), still runs, and a key ends it within
# 2 s with code 0.
full_screen_run() {
  xdotool mousemove 500 400
  spawn wine_run "$RILLO_SCR" /s
  local saver=$last_pid ticks=${2:-} got
  if ! wait_saver_window; then
    fail "$1: the full-screen window appears"
    kill "$saver" 2>/dev/null || true
    return
  fi
  if [ -n "$ticks" ]; then
    got=$(tick_watch drive RilloWater 120 1000 "$ticks" | tr -d '\r' |
      awk '$1 == "sample" { t = $3 } END { print t + 0 }') || true
    if [ "${got:-0}" -lt "$ticks" ] || ! kill -0 "$saver" 2>/dev/null; then
      fail "$1: the saver runs $ticks ticks (${got:-0} ran)"
      kill "$saver" 2>/dev/null || true
      return
    fi
  elif ! saver_ticks 5 || ! kill -0 "$saver" 2>/dev/null; then
    fail "$1: the saver ticks and still runs"
    kill "$saver" 2>/dev/null || true
    return
  fi
  xdotool key space
  if wait_exit "$saver" 2 && [ "$exit_code" = 0 ]; then
    ok "$1: the saver runs full screen and a key ends it with code 0"
  else
    fail "$1: the saver runs full screen and a key ends it with code 0 (code ${exit_code:-none})"
    kill "$saver" 2>/dev/null || true
  fi
}

section() { echo "-- $1 (at $SECONDS s)"; }

section "settings file held open"
# --- The settings file held open, without sharing, by another program.
printf 'held \xe9\xff line\r\n90\r\n200' >"$file"
cp "$file" "$work/before"
rm -f "$work/loaded" "$work/held"
# The dialog reads the file, says so through a marker, and presses Save only once the
# other program holds the file.
spawn dialog "/c" readouts=90,200 "rect=$(win "$work/loaded")" \
  "waitfile=$(win "$work/held"),20000" key=wavelength,next readouts=100,200 click=save exits
settings=$last_pid
if wait_file "$work/loaded" 20; then
  spawn driver hold "$(win "$file")" 4 "$(win "$work/held")"
  holder=$last_pid
fi
check "Save while another program holds the file open: the dialog still ends with code 0" \
  wait_exit "$settings" 30
check "... (driver status ${exit_code:-none})" test "${exit_code:-1}" = 0
check "... and the file is byte for byte what it was" unchanged
check "... the values went to the user's own file, with the first line" \
  holds "$own" 'held \xe9\xff line\r\n100\r\n200'
rm -f "$own"
[ -n "${holder:-}" ] && wait_exit "$holder" 10 || true

rm -f "$work/held"
spawn driver hold "$(win "$file")" 4 "$(win "$work/held")"
holder=$last_pid
wait_file "$work/held" 20 || true
check "a file held open at start gives the defaults; Save then ends the dialog" \
  dialog "/c" readouts=100,100 click=save exits
check "... and leaves the file as it was" unchanged
check "... the defaults went to the user's own file, with an empty first line" \
  holds "$own" '\r\n100\r\n100'
rm -f "$own"
wait_exit "$holder" 10 || true
check "once released, the file reads as before, and Save works again" \
  dialog "/c" readouts=90,200 key=amplitude,next readouts=90,220 click=save exits
check "... keeping the first line" holds "$file" 'held \xe9\xff line\r\n90\r\n220'
leftovers() { ! compgen -G "$file.*" >/dev/null; }
check "... and no temporary file is left beside it" leftovers

section "settings file of random bytes"
# --- A settings file of 1 MiB of random bytes (the same bytes every run). Files over
# 64 KiB are never rewritten: Save leaves it byte-identical.
head -c 1048576 /dev/zero |
  openssl enc -aes-128-ctr -K 72696c6c6f2d6661756c747300000000 -iv 00000000000000000000000000000000 -nosalt >"$file"
cp "$file" "$work/before"
out=$(dialog "/c" print=wavelength-value print=amplitude-value key=wavelength,next \
  key=amplitude,next click=save exits) || true
echo "$out" | grep -v '^ok' || true
w=$(echo "$out" | tr -d '\r' | sed -n 's/^text wavelength-value: //p')
a=$(echo "$out" | tr -d '\r' | sed -n 's/^text amplitude-value: //p')
check "1 MiB of random bytes: the dialog shows numbers ($w, $a) and Save ends it with code 0" \
  bash -c '[[ $1 =~ ^-?[0-9]+$ && $2 =~ ^-?[0-9]+$ ]] && ! grep -q "^FAIL" <<<"$3"' _ "$w" "$a" "$out"
check "... and the file is byte for byte what it was" unchanged
# ends_in_values FILE: the file ends in CR LF, a number, CR LF, a number.
ends_in_values() { [[ $(tail -c 32 "$1" 2>/dev/null | tr '\r\n' '<>') =~ '<>'-?[0-9]+'<>'-?[0-9]+$ ]]; }
check "... the values went to the user's own file" ends_in_values "$own"
rm -f "$own"
full_screen_run "1 MiB of random bytes"
check "... which is still byte for byte what it was" unchanged

section "settings file of line feeds"
# --- A settings file of line feeds only: no CR LF, so no values and an empty first
# line. The defaults show, and Save makes it a proper file: "\r\n" W "\r\n" A.
printf '\n%.0s' $(seq 200) >"$file"
check "200 line feeds: the dialog shows the defaults; Save ends it" \
  dialog "/c" readouts=100,100 key=wavelength,next readouts=110,100 click=save exits
check "... and writes a proper settings file with an empty first line" holds "$file" '\r\n110\r\n100'
printf '\n%.0s' $(seq 200) >"$file"
full_screen_run "200 line feeds"

# --- The largest and smallest numbers a settings file can hold, and numbers past
# them: the saver rains with them for 1000 ticks as fast as it can take them, keeps
# answering, and ends on a key.
for values in '2147483647\r\n-2147483648' '-2147483648\r\n2147483647' \
  '99999999999999999999\r\n-99999999999999999999'; do
  printf "extreme\r\n$values" >"$file"
  full_screen_run "wavelength and amplitude ${values//'\r\n'/ and }, 1000 fast ticks" 1000
done

section "unwritable temporary directory"
# --- A temporary directory that cannot be written. As root, Unix permissions stop
# nothing: take a directory that does not exist, and a path through a regular file.
# The snapshot cannot be written or read back; the saver runs on whatever picture it
# has and still ends on input. Nothing lands at the root of drive C: instead.
usual_tmp=$(temp_dir) || true
check "the usual temporary directory is known ($usual_tmp)" test -d "$usual_tmp"
[ -n "$usual_tmp" ] || usual_tmp=$work/unknown-temp
rm -f "$WINEPREFIX/drive_c/cTempPicture.bmp" "$usual_tmp/cTempPicture.bmp"
for temp in 'C:\rillo-no-such-dir\temp' 'C:\windows\win.ini\temp'; do
  set_temp "$temp"
  seen=$(wine_run cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')
  check "the temporary directory is now $temp ($seen)" test "$seen" = "$temp"
  full_screen_run "TEMP and TMP at $temp"
done
check "... nothing was written at the root of drive C:" \
  test ! -e "$WINEPREFIX/drive_c/cTempPicture.bmp"
check "... nor in the usual temporary directory" test ! -e "$usual_tmp/cTempPicture.bmp"
if [ -n "$saved_temp" ]; then set_temp "${saved_temp#*|}"; fi

# The snapshot file itself held open by another program: it can be neither written
# nor read back. The saver still runs, and the file is left as it was.
printf 'an earlier snapshot' >"$usual_tmp/cTempPicture.bmp"
cp "$usual_tmp/cTempPicture.bmp" "$work/snapshot-before"
rm -f "$work/held"
spawn driver hold "$(win "$usual_tmp/cTempPicture.bmp")" 6 "$(win "$work/held")"
holder=$last_pid
wait_file "$work/held" 20 || true
full_screen_run "the snapshot file held open by another program"
wait_exit "$holder" 10 || true
check "... and the snapshot file is left as it was" \
  cmp -s "$usual_tmp/cTempPicture.bmp" "$work/snapshot-before"
rm -f "$usual_tmp/cTempPicture.bmp"

section "input bursts"
# --- A burst of a thousand input messages, all queued before the saver looks at any
# (its thread is held still meanwhile): one clean exit.
rm -f "$file"
xdotool mousemove 500 400
spawn wine_run "$RILLO_SCR" /s
saver=$last_pid
wait_saver_window || true
saver_ticks 2 || true
start=$(date +%s%N)
posted=$(driver burst RilloWater 1000 | tr -d '\r') || true
echo "$posted"
check "the burst is queued whole" grep -q '^posted 1000 of 1000' <<<"$posted"
check "1000 queued moves and key presses: one exit, with code 0, within 3 s" wait_exit "$saver" 3
elapsed=$((($(date +%s%N) - start) / 1000000))
check "... (code ${exit_code:-none}, ${elapsed} ms after the burst began)" test "${exit_code:-1}" = 0

# The same through X: 500 moves and 500 key presses from one xdotool run.
xdotool mousemove 500 400
spawn wine_run "$RILLO_SCR" /s
saver=$last_pid
wait_saver_window || true
saver_ticks 2 || true
events=()
for i in $(seq 500); do events+=(mousemove $((i % 1000)) $((i % 700)) key --delay 0 a); done
start=$(date +%s%N)
spawn xdotool "${events[@]}"
burst=$last_pid
check "1000 X moves and keys: one exit, with code 0, within 3 s" wait_exit "$saver" 3
elapsed=$((($(date +%s%N) - start) / 1000000))
check "... (code ${exit_code:-none}, ${elapsed} ms after the burst began)" test "${exit_code:-1}" = 0
wait_exit "$burst" 20 || true
xdo_time=$((($(date +%s%N) - start) / 1000000))
echo "xdotool sent its 1000 events in $xdo_time ms"

section "preview host destroyed"
# --- The preview pane destroyed while the water runs: the saver is gone within a
# second (the driver destroys its host after a short run and checks this), also while
# it is ticked as fast as it answers, 2000 ticks before and more during the end.
check "the preview host destroyed mid-run: the saver ends within 1 s with code 0" \
  wine_run "$RILLO_DRIVER" preview "$scr" 200 150
check "... and so it does while it is ticked as fast as it answers" \
  wine_run "$RILLO_DRIVER" preview "$scr" 200 150 2000
check "no settings file was left beside the real one" leftovers
section "done"
finish

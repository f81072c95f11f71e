#!/usr/bin/env bash
# Full screen over a known desktop: the screen shows exactly the frame that the
# engine computes for that desktop after some number of ticks, upright, with the
# border untouched; the stored settings are used. The snapshot file is written and
# read back at the start and gone while the saver runs, even after a kill.
. "$(dirname "$0")/lib.sh"

use_engine_tools

read -r W H < <(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1], d[2] }')
bash "$(dirname "$0")/../../scripts/sample-desktop" "$W" "$H" "$work/desktop.bmp"
printf 'e2e\r\n90\r\n200' > "$(settings_file)"
tmp=$(temp_dir)
# An older photograph left behind goes too.
printf 'an earlier snapshot' >"$tmp/cTempPicture.bmp"

show_desktop "$work/desktop.bmp"
xdotool mousemove 300 200
pointer=$(dirname "$0")/pointer_shown.py
check "the pointer shows over the desktop" python3 "$pointer"
spawn wine_run "$RILLO_SCR" /s
saver=$last_pid

# A screenshot taken once the rain has changed the screen, and then while the
# drawing of a frame is not caught half done, equals a whole frame of the engine.
matched=""
rippled() {
  screenshot "$work/shot.png"
  [ "$(compare -metric AE "$work/desktop.bmp" "$work/shot.png" null: 2>&1)" != 0 ] || return 1
  convert "$work/shot.png" -type TrueColor BMP3:"$work/shot.bmp"
  matched=$(frame_match --wavelength 90 --amplitude 200 --max-ticks 2000 \
    "$work/desktop.bmp" "$work/shot.bmp")
}
wait_for 30 rippled || true
check "a screenshot equals a frame of the engine (ticks: ${matched:-none})" test -n "$matched"
if [ -n "$matched" ]; then
  render --ticks "$matched" --wavelength 90 --amplitude 200 "$work/desktop.bmp" \
    "$work/render.bmp" >/dev/null
  diff=$(compare -metric AE "$work/render.bmp" "$work/shot.png" null: 2>&1 || true)
  check "rillo-render's frame for $matched ticks equals the screen bit for bit (AE $diff)" \
    test "$diff" = 0
  border=$(convert "$work/shot.png" -crop "${W}x1+0+0" +repage -format %# info:)
  want=$(convert "$work/desktop.bmp" -crop "${W}x1+0+0" +repage -format %# info:)
  check "the top line still shows the desktop" test "$border" = "$want"
fi
check "the snapshot file is gone while the saver runs" test ! -e "$tmp/cTempPicture.bmp"

check "the pointer is hidden over the saver" eval '! python3 "$pointer"'
check "the saver still runs before any input" kill -0 "$saver"
xdotool key space
check "a key ends the saver within 2 s" wait_exit "$saver" 2
check "with exit code 0" test "${exit_code:-1}" = 0
check "the snapshot of the screen is gone with the saver" test ! -e "$tmp/cTempPicture.bmp"

# Killed, the saver runs no code of its own: the file must already be gone. Wine's
# file trace shows that it was still written in full, header and rows.
printf 'an earlier snapshot' >"$tmp/cTempPicture.bmp"
WINEDEBUG=trace+file spawn wine_run "$RILLO_SCR" /s 2>"$work/trace.txt"
saver=$last_pid
check "the saver runs again" wait_saver_window
kill -9 "$saver"
check "killed, it ends" wait_exit "$saver" 10
check "after a kill no snapshot file is left" wait_for 5 test ! -e "$tmp/cTempPicture.bmp"
check "the snapshot file was opened to be written" \
  grep -q 'CreateFileW L".*cTempPicture.bmp" .*GENERIC_WRITE' "$work/trace.txt"
for bytes in 54 $((W * H * 4)) $(((W * 3 + 3) / 4 * 4 * H)); do
  grep -q "$(printf '0x%08x' "$bytes")" "$work/trace.txt" && wrote="${wrote:-} $bytes"
done
check "... and written: the header and the $W x $H rows (${wrote:-nothing})" \
  test "$(wc -w <<<"${wrote:-}")" = 2
finish

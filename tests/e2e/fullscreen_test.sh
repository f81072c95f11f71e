#!/usr/bin/env bash
# Full screen over a known desktop: the screen shows exactly the frame that the
# engine computes for that desktop after some number of ticks, upright, with the
# border untouched; the snapshot file is there; the stored settings are used.
. "$(dirname "$0")/lib.sh"

use_engine_tools

read -r W H < <(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1], d[2] }')
bash "$(dirname "$0")/../../scripts/sample-desktop" "$W" "$H" "$work/desktop.bmp"
printf 'e2e\r\n90\r\n200' > "$(settings_file)"
tmp=$(temp_dir)
rm -f "$tmp/cTempPicture.bmp"

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
check "the snapshot file is in the temporary directory" test -s "$tmp/cTempPicture.bmp"
size=$(stat -c %s "$tmp/cTempPicture.bmp" 2>/dev/null || echo 0)
check "the snapshot file holds a $W x $H picture at 32 or 24 bits ($size bytes)" \
  test "$size" = $((54 + W * H * 4)) -o "$size" = $((54 + (W * 3 + 3) / 4 * 4 * H))

check "the pointer is hidden over the saver" eval '! python3 "$pointer"'
check "the saver still runs before any input" kill -0 "$saver"
xdotool key space
check "a key ends the saver within 2 s" wait_exit "$saver" 2
check "with exit code 0" test "${exit_code:-1}" = 0
check "the snapshot of the screen is gone with the saver" test ! -e "$tmp/cTempPicture.bmp"
finish

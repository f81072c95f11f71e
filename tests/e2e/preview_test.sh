#!/usr/bin/env bash
# Preview mode: a child window filling the host's pane; no snapshot; the saver
# ends when its host goes away; handles that name no window end the saver at once.
# (What the pane shows is checked in-process by the window tests: Wine does not put
# another process's child window on screen.)
. "$(dirname "$0")/lib.sh"

tmp=$(temp_dir)
rm -f "$tmp/cTempPicture.bmp"

check "the preview fills a 400 x 300 pane and ends with its host" \
  wine_run "$RILLO_DRIVER" preview "$(winepath -w "$RILLO_SCR")" 400 300
check "a pane smaller than the picture gets the same child" \
  wine_run "$RILLO_DRIVER" preview "$(winepath -w "$RILLO_SCR")" 100 60
check "the preview writes no snapshot" test ! -e "$tmp/cTempPicture.bmp"

for args in "/p" "/p 0x1234" "/p 0" "/p 12345678" "/p -7" "/p abc"; do
  # shellcheck disable=SC2086
  check "'$args' ends at once without a window" \
    wine_run "$RILLO_DRIVER" preview-bad "$(winepath -w "$RILLO_SCR")" $args
done
# The settings are read before the mode is chosen, so even a preview that ends at
# once has opened the settings file (seen in Wine's file trace).
printf 'x\r\n90\r\n200' > "$(settings_file)"
WINEDEBUG=+file wine_run "$RILLO_SCR" /p 0 2>"$work/trace.txt" || true
check "a preview reads the settings file too" grep -q 'CreateFileW L".*rillolst.txt" GENERIC_READ' "$work/trace.txt"
rm -f "$(settings_file)"
finish

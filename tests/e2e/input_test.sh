#!/usr/bin/env bash
# What ends the full-screen saver: a second mouse position, a key, a system key,
# any of the three buttons. What does not: the same position again, key releases,
# the wheel, the system's close and screen-save commands.
. "$(dirname "$0")/lib.sh"

rm -f "$(settings_file)"
bash "$(dirname "$0")/../../scripts/sample-desktop" 640 480 "$work/desktop.bmp"
show_desktop "$work/desktop.bmp"

start_saver() {
  xdotool mousemove 400 300
  spawn wine_run "$RILLO_SCR" /s
  saver=$last_pid
  wait_saver_window
  sleep 0.5
}
ends() { # ends DESCRIPTION: the saver ends within 2 s with exit code 0
  if wait_exit "$saver" 2 && [ "$exit_code" = 0 ]; then ok "$1"; else fail "$1"; kill "$saver" 2>/dev/null || true; fi
}
stays() { # stays DESCRIPTION: the saver still runs after a second
  sleep 1
  if kill -0 "$saver" 2>/dev/null; then ok "$1"; else fail "$1"; fi
}

start_saver
xdotool mousemove 400 300; xdotool mousemove 400 300
for _ in 1 2 3; do wine_run "$RILLO_DRIVER" post RilloWater 0x0200 0 $(((300 << 16) | 400)) >/dev/null; done
stays "moves to the first position do not end the saver"
xdotool keyup a
stays "a key release does not end it"
xdotool click 4; xdotool click 5
stays "the wheel does not end it"
wine_run "$RILLO_DRIVER" post RilloWater 0x0112 0xF060 0 >/dev/null
wine_run "$RILLO_DRIVER" post RilloWater 0x0112 0xF140 0 >/dev/null
stays "the system's close and screen-save commands are ignored"
xdotool mousemove 401 300
ends "a move to another position ends it"

for what in "key a" "key alt" "key F10" "click 1" "click 2" "click 3"; do
  start_saver
  # shellcheck disable=SC2086
  xdotool $what
  ends "'$what' ends the saver with code 0 within 2 s"
done
finish

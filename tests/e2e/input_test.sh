#!/usr/bin/env bash
# What ends the full-screen saver: a second mouse position, a key, a system key,
# any of the three buttons. What does not: the same position again, key releases,
# the wheel, the system's close and screen-save commands.
. "$(dirname "$0")/lib.sh"
: "${RILLO_TICK_WATCH:?}"

rm -f "$(settings_file)"
bash "$(dirname "$0")/../../scripts/sample-desktop" 640 480 "$work/desktop.bmp"
show_desktop "$work/desktop.bmp"

start_saver() {
  xdotool mousemove 400 300
  spawn wine_run "$RILLO_SCR" /s
  saver=$last_pid
  wait_saver_window
  # Its message loop runs: whatever input comes next is handled, not lost in start-up.
  saver_ticks 2 || fail "the saver ticks after it starts"
}
ends() { # ends DESCRIPTION: the saver ends within 2 s with exit code 0
  if wait_exit "$saver" 2 && [ "$exit_code" = 0 ]; then ok "$1"; else fail "$1"; kill "$saver" 2>/dev/null || true; fi
}
# stays DESCRIPTION MESSAGES COMMAND...: the input that the command gives reaches the
# saver's window as the messages (numbers, comma-separated, one per message), the
# window takes two ticks after the last of them, and then still exists and runs.
stays() {
  local what=$1 messages=$2 log=$work/listen.log listener
  rm -f "$log"
  spawn wine_run "$RILLO_TICK_WATCH" listen RilloWater 10 "$messages" >"$log"
  listener=$last_pid
  wait_for 20 grep -q '^listening' "$log" || true
  "${@:3}"
  if wait_exit "$listener" 15 && [ "$exit_code" = 0 ] && kill -0 "$saver" 2>/dev/null; then
    ok "$what"
  else
    fail "$what"
  fi
  tr -d '\r' <"$log" | sed 's/^/  tick_watch: /'
}

# The inputs that must not end the saver.
same_position() {
  xdotool mousemove 400 300
  xdotool mousemove 400 300
  for _ in 1 2 3; do wine_run "$RILLO_DRIVER" post RilloWater 0x0200 0 $(((300 << 16) | 400)) >/dev/null; done
}
# Wine passes on no release of a key that is not down: the release is posted.
key_release() { wine_run "$RILLO_DRIVER" post RilloWater 0x0101 0x41 0xC01E0001 >/dev/null; }
wheel() {
  xdotool click 4
  xdotool click 5
}
close_and_screen_save() {
  wine_run "$RILLO_DRIVER" post RilloWater 0x0112 0xF060 0 >/dev/null
  wine_run "$RILLO_DRIVER" post RilloWater 0x0112 0xF140 0 >/dev/null
}

start_saver
stays "moves to the first position do not end the saver" 0x0200,0x0200,0x0200 same_position
stays "a key release does not end it" 0x0101 key_release
stays "the wheel does not end it" 0x020A,0x020A wheel
stays "the system's close and screen-save commands are ignored" 0x0112,0x0112 close_and_screen_save
xdotool mousemove 401 300
ends "a move to another position ends it"

for what in "key a" "key alt" "key F10" "click 1" "click 2" "click 3"; do
  start_saver
  # shellcheck disable=SC2086
  xdotool $what
  ends "'$what' ends the saver with code 0 within 2 s"
done
finish

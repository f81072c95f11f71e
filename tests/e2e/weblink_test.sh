#!/usr/bin/env bash
# The link button of the settings dialog. The browser's command line comes from the
# first value of HKCR\htmlfile\shell\open\command; a stand-in browser records the
# command line it was started with. Where that command is missing or unusable, the
# system's handler for the address's scheme opens it instead, here another stand-in.
. "$(dirname "$0")/lib.sh"
: "${RILLO_SETTINGS_DRIVER:?}"
wine_run # makes the prefix on first use

scr=$(winepath -w "$RILLO_SCR")
driver() { wine_run "$RILLO_SETTINGS_DRIVER" "$@"; }

# stand_in DIR NAME: the command-line recorder as DIR/NAME.exe, which writes what it
# was started with to DIR/NAME.log; prints the program's Windows path.
stand_in() {
  mkdir -p "$1" &&
    cp "$(dirname "$RILLO_SETTINGS_DRIVER")/rillo_cmdline_recorder.exe" "$1/$2.exe" &&
    winepath -w "$1/$2.exe"
}

# The stand-in browser lives in a folder with a blank in its name, as browsers do.
browser=$(stand_in "$work/web browser" recorder)
log="$work/web browser/recorder.log"
log_win=$(winepath -w "$log")

# The system's URL handler, as the shell finds it for the address's scheme.
handler=$(stand_in "$work/url handler" handler)
handler_log="$work/url handler/handler.log"
handler_log_win=$(winepath -w "$handler_log")

# The prefix's own browser command goes back in place afterwards.
saved="$work/htmlfile.reg"
wine_run reg export 'HKCR\htmlfile\shell\open\command' "$(winepath -w "$saved")" /y \
  >/dev/null 2>&1 || rm -f "$saved"
# Wine tells the saver it runs on Windows 98 when this key says so.
as_win98="HKCU\\Software\\Wine\\AppDefaults\\$(basename "$RILLO_SCR")"
restore() {
  cleanup
  wine_run reg delete "$as_win98" /f >/dev/null 2>&1 || true
  driver htmlfile >/dev/null 2>&1 || true
  if [ -f "$saved" ]; then wine_run reg import "$(winepath -w "$saved")" >/dev/null 2>&1 || true; fi
  if [ -n "${scheme:-}" ]; then
    wine_run reg delete "HKCR\\$scheme\\shell\\open\\command" /f >/dev/null 2>&1 || true
    if [ -f "$saved_scheme" ]; then
      wine_run reg import "$(winepath -w "$saved_scheme")" >/dev/null 2>&1 || true
    fi
  fi
}
trap restore EXIT

# The address is the link button's caption.
driver htmlfile >/dev/null
address=$( (driver run "$scr" "/c" print=link click=quit exits || true) | tr -d '\r' |
  sed -n 's/^text link: //p')
check "the link button shows an address ($address)" test -n "$address"

scheme=${address%%:*}
saved_scheme="$work/scheme.reg"
wine_run reg export "HKCR\\$scheme\\shell\\open\\command" "$(winepath -w "$saved_scheme")" /y \
  >/dev/null 2>&1 || rm -f "$saved_scheme"
wine_run reg add "HKCR\\$scheme\\shell\\open\\command" /ve /d "\"$handler\" \"%1\"" /f \
  >/dev/null 2>&1

# opens DESCRIPTION EXPECTED VALUE...: with the command key holding these values the
# link starts exactly the EXPECTED command line, once, and the dialog stays open.
opens() {
  local what=$1 expected=$2
  shift 2
  rm -f "$log" "$handler_log"
  driver htmlfile "$@" >/dev/null
  check "$what" driver run "$scr" "/c" click=link "waitfile=$log_win,10000" alive \
    click=quit exits
  check "... the browser was started as: $expected" test "$(cat "$log" 2>/dev/null)" = "$expected"
  check "... and the URL handler was not" test ! -e "$handler_log"
}
# falls_back DESCRIPTION VALUE...: the registry command is not run; the system's URL
# handler opens the address, and the dialog stays open.
falls_back() {
  local what=$1
  shift
  rm -f "$log" "$handler_log"
  driver htmlfile "$@" >/dev/null
  check "$what" driver run "$scr" "/c" click=link "waitfile=$handler_log_win,10000" alive \
    click=quit exits
  check "... the URL handler got the address" \
    test "$(cat "$handler_log" 2>/dev/null)" = "\"$handler\" \"$address\""
  check "... and the registry command was not run" test ! -e "$log"
}

opens "\"%1\" in the command is replaced by the address" \
  "\"$browser\" \"$address\"" "=\"$browser\" \"%1\""
opens "only the first \"%1\" is replaced" \
  "\"$browser\" -a \"$address\" -b %1" "=\"$browser\" -a \"%1\" -b %1"
opens "a command ending in a blank gets the address as its last argument" \
  "\"$browser\" $address" "=\"$browser\" "
opens "a command ending in another character gets the address joined to it" \
  "\"$browser\" --url=$address" "=\"$browser\" --url="
opens "a named value is used when it is the only one" \
  "\"$browser\" named $address" "Browser=\"$browser\" named %1"

# Whichever value the registry enumerates first is the command, whatever its name;
# the order of enumeration is the registry's (this one sorts by name, the default
# value first).
for values in "zeta|alpha" "Aaa|"; do
  first_name=${values%|*} second_name=${values#*|}
  driver htmlfile "$first_name=\"$browser\" from-$first_name %1" \
    "$second_name=\"$browser\" from-${second_name:-default} %1" >/dev/null
  first=$( (driver htmlfile-first || true) | tr -d '\r' | sed -n 's/^first: [^|]*|//p')
  opens "values written as '$first_name' then '${second_name:-(default)}': the first enumerated is used" \
    "${first/\%1/$address}" "$first_name=\"$browser\" from-$first_name %1" \
    "$second_name=\"$browser\" from-${second_name:-default} %1"
done

# The command line is run from a buffer of 255 characters: one that fits runs, one
# that would be cut off runs nothing.
fill=$((255 - ${#browser} - 3 - ${#address}))
pad=$(printf 'x%.0s' $(seq "$fill"))
opens "a command line of exactly 255 characters runs" \
  "\"$browser\" $pad$address" "=\"$browser\" $pad%1"
falls_back "a command line of 256 characters is not cut short" "=\"$browser\" x$pad%1"
falls_back "a command text too long to read is not cut short" \
  "=\"$browser\" $pad$pad %1"
falls_back "a blank command is not run" "=  "
# Only text is a command line, even where the bytes of a number or a blob spell one.
falls_back "a number as the first value is not run" "Aaa:dword=0x41414141"
falls_back "a blob as the first value is not run" ":binary=\"$browser\" %1"
falls_back "a command naming no program that exists" "=\"${browser%\\*}\\missing.exe\" %1"
falls_back "without the command key"

# On Windows 95, 98 and Me the dialog closes as the browser starts.
wine_run reg add "$as_win98" /v Version /d win98 /f >/dev/null 2>&1
rm -f "$log"
driver htmlfile "=\"$browser\" %1" >/dev/null
check "as Windows 98, the link closes the dialog" \
  driver run "$scr" "/c" click=link exits "waitfile=$log_win,10000"
check "... and starts the browser" test "$(cat "$log" 2>/dev/null)" = "\"$browser\" $address"
wine_run reg delete "$as_win98" /f >/dev/null 2>&1
finish

#!/usr/bin/env bash
# Settings mode, driven from outside: what the dialog shows, how its trackbars and
# buttons work, the exact bytes Save writes, what every other way out leaves alone,
# and the about box behind its system menu.
. "$(dirname "$0")/lib.sh"
: "${RILLO_SETTINGS_DRIVER:?}"
wine_run # makes the prefix on first use

scr=$(winepath -w "$RILLO_SCR")
file=$(settings_file)
dialog() { wine_run "$RILLO_SETTINGS_DRIVER" run "$scr" "$@"; }
# holds FILE PRINTF-FORMAT: the file holds exactly these bytes
holds() { cmp -s "$1" <(printf "$2"); }
unchanged() { cmp -s "$file" "$work/before"; }

# Other tests read the settings file too: leave it as it was found.
if [ -e "$file" ]; then cp "$file" "$work/original"; fi
restore() {
  cleanup
  if [ -e "$work/original" ]; then cp "$work/original" "$file"; else rm -f "$file"; fi
}
trap restore EXIT
# A file of the user's own would be read first; as root the Windows folder is
# writable, so none may appear.
own="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Rillo/rillolst.txt"
rm -f "$own"

rm -f "$file"
check "no arguments: the dialog as it opens; Quit ends it" \
  dialog "" caption="Rillo 2.0 ScreenSaver" toplevel text=title, focus=link inside \
  readouts=100,100 thumbs=100,100 ranges click=quit exits
check "... and writes no settings file" test ! -e "$file"

check "/c: the readouts follow keys and drags; Default puts back 100 and 100" \
  dialog "/c" key=wavelength,prior readouts=90,100 thumbs=90,100 \
  key=wavelength,right readouts=91,100 \
  key=amplitude,next readouts=91,120 key=amplitude,left readouts=91,119 \
  key=wavelength,end readouts=120,119 key=amplitude,home readouts=120,100 \
  drag=wavelength,77 readouts=77,100 drag=amplitude,233 readouts=77,233 thumbs=77,233 \
  click=default readouts=100,100 thumbs=100,100 escape exits
check "... Default and Escape write nothing" test ! -e "$file"

check "/c:1234: Save without a settings file" \
  dialog "/c:1234" key=wavelength,next readouts=110,100 click=save exits
check "... makes one with an empty first line" holds "$file" '\r\n110\r\n100'

printf 'abc\r\n50\r\n200' >"$file"
check "a stored wavelength of 50 reads 50 with its thumb at 70; scrolling replaces it" \
  dialog "/c" readouts=50,200 thumbs=70,200 key=wavelength,next readouts=80,200 \
  key=wavelength,right readouts=81,200 key=wavelength,prior readouts=71,200 \
  key=wavelength,left readouts=70,200 key=amplitude,next key=amplitude,next key=amplitude,next \
  readouts=70,250 key=amplitude,left readouts=70,249 \
  click=save exits
check "... Save keeps the first line and writes the values" holds "$file" 'abc\r\n70\r\n249'

printf 'first line\r\n-5\r\n1000' >"$file"
check "values outside the ranges are shown, and saved unchanged when not scrolled" \
  dialog "" readouts=-5,1000 thumbs=70,250 click=save exits
check "... the file is rewritten with the same values" holds "$file" 'first line\r\n-5\r\n1000'

printf 'no line end' >"$file"
check "Save over a file without a line end" dialog "/c" click=save exits
check "... writes an empty first line" holds "$file" '\r\n100\r\n100'

printf 'keep me \xe9\r\n90\r\n200\r\n' >"$file"
cp "$file" "$work/before"
check "Default then Quit" dialog "/c" readouts=90,200 click=default readouts=100,100 click=quit exits
check "... leave the file as it was" unchanged
for way in close escape command=cancel command=ok; do
  check "'$way' after both thumbs moved ends the dialog" \
    dialog "/c" key=wavelength,next key=amplitude,next readouts=100,220 "$way" exits
  check "... and writes nothing" unchanged
done

check "system commands 16 and 31 open the about box; 15 and 32 do not" \
  dialog "/c" syscmd=about about syscmd=31 about noabout=15 noabout=32 \
  click=quit exits
check "the last entry of the system menu opens the about box" \
  dialog "/c" sysmenu-last about click=quit exits
check "... and nothing was written meanwhile" unchanged
check "no save made a file of the user's own" test ! -e "$own"
finish

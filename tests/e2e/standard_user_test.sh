#!/usr/bin/env bash
# Settings for a standard user: Wine run by an unprivileged Unix user, in a prefix of
# that user's whose Windows folder the user may not write, so that creating a file
# there fails with ERROR_ACCESS_DENIED as it does on Windows. Save then goes to the
# per-user file, which every mode reads first; a file in the Windows folder, or one
# that UAC virtualization left in the VirtualStore, lends it its first line; and when
# nothing can be written the user is told and the dialog stays open.
# As root (the other tests' prefix) the Windows folder is writable and used.
. "$(dirname "$0")/lib.sh"
: "${RILLO_SETTINGS_HOST:?}"

user=rillo-standard
if ! id "$user" >/dev/null 2>&1; then
  useradd --create-home --shell /usr/sbin/nologin "$user"
fi
home=$(getent passwd "$user" | cut -d: -f6)
[ -d "$home" ] || { echo "the home folder of $user is missing"; exit 1; }

# The user's prefix lives outside the build folder, where the user may make it.
base=$(mktemp -d /tmp/rillo-standard-user.XXXXXX)
chmod 755 "$base"
chown "$user:" "$base"
prefix=$base/prefix
as_user() {
  runuser -u "$user" -- env HOME="$home" USER="$user" LOGNAME="$user" WINEPREFIX="$prefix" \
    WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY="$DISPLAY" "$@"
}
# A display with X authorisation (xvfb-run -a, a desktop session) lets in only the
# users it knows: this one is let in by its name for the test's duration. A server
# with no clients left resets, forgetting who it let in, so a client of ours stays
# connected meanwhile.
granted=""
user_cleanup() {
  if [ -n "$granted" ]; then xhost "-SI:localuser:$user" >/dev/null 2>&1 || true; fi
  cleanup # ends the client that kept the server up, too
  as_user wineserver -k 2>/dev/null || true
  chmod -R u+w "$base" 2>/dev/null || true
  rm -rf "$base"
}
trap user_cleanup EXIT
opens_display() { as_user xdpyinfo >/dev/null 2>&1; }
if ! opens_display; then
  xprop -root -spy >/dev/null 2>&1 &
  started+=("$!")
  granted=yes
  deadline=$((SECONDS + 20))
  until { xhost "+SI:localuser:$user" >/dev/null 2>&1 && opens_display; } ||
    [ $SECONDS -ge $deadline ]; do sleep 0.2; done
fi
check "$user can open display $DISPLAY" opens_display

as_user wineboot -i >/dev/null 2>&1
as_user wineserver -w
as_user wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
as_user wineserver -w

# The programs are read where they were built, through Wine's Z: drive.
winpath() { printf 'Z:%s' "${1//\//\\}"; }
scr=$(winpath "$RILLO_SCR")
host() { as_user wine "$(winpath "$RILLO_SETTINGS_HOST")" "$@"; }

windows=$prefix/drive_c/windows
roaming=$prefix/drive_c/users/$user/AppData/Roaming
local_data=$prefix/drive_c/users/$user/AppData/Local
own=$roaming/Rillo/rillolst.txt
own_win='C:\users\'"$user"'\AppData\Roaming\Rillo\rillolst.txt'
shared=$windows/rillolst.txt
virtual=$local_data/VirtualStore/windows/rillolst.txt
holds() { cmp -s "$1" <(printf "$2"); }
readouts() { host readouts "$scr" | tr -d '\r' | sed -n 's/^readouts //p'; }

# The Windows folder, and only the folder itself, becomes read-only for the user.
chmod a-w "$windows"
access=$(host access 'C:\windows\rillo-probe.txt' | tr -d '\r')
check "creating a file in C:\\windows fails with ERROR_ACCESS_DENIED ($access)" \
  test "$access" = "error 5"
check "... while the user's own folders can be written ($(host access 'C:\users\'"$user"'\AppData\Roaming\probe.txt' | tr -d '\r'))" \
  test "$(host access 'C:\users\'"$user"'\AppData\Roaming\probe.txt' | tr -d '\r')" = "error 0"

check "no settings anywhere: Save closes the dialog" host save "$scr" 110 saved
check "... and writes the per-user file, its folder made" holds "$own" '\r\n110\r\n100'
check "... and nothing in the Windows folder" test ! -e "$shared"
check "the next /c reads the per-user file ($(readouts))" test "$(readouts)" = "110,100"

# The saver opens the files it reads in Wine's file trace: the first readable one is
# the last settings file opened before the snapshot is written.
trace=$base/trace.txt
touch "$trace" && chown "$user:" "$trace"
as_user env WINEDEBUG=trace+file wine "$scr" /s 2>"$trace" &
saver=$!
started+=("$saver")
deadline=$((SECONDS + 30))
until grep -q 'cTempPicture' "$trace" 2>/dev/null || [ $SECONDS -ge $deadline ]; do sleep 0.2; done
kill "$saver" 2>/dev/null || true
as_user wineserver -k 2>/dev/null || true
wait "$saver" 2>/dev/null || true
opened=$(grep -o 'CreateFileW L"[^"]*rillolst.txt"' "$trace" | sed 's/.*L"//; s/"$//' | sort -u | tr '\n' ' ')
check "/s reads the per-user file ($opened)" grep -q 'Roaming\\\\Rillo\\\\rillolst.txt' <<<"$opened"
check "... and no other settings file" test "$(wc -w <<<"$opened")" = 1

rm -f "$own"
printf 'set by an administrator\r\n90\r\n200' >"$shared"
chmod 444 "$shared"
check "a settings file in the Windows folder is read ($(readouts))" test "$(readouts)" = "90,200"
check "... Save, refused there, closes the dialog" host save "$scr" 95 saved
check "... the per-user file has that file's first line" holds "$own" 'set by an administrator\r\n95\r\n200'
check "... the Windows folder's file is unchanged" holds "$shared" 'set by an administrator\r\n90\r\n200'
check "... and the next start reads the per-user file ($(readouts))" test "$(readouts)" = "95,200"

rm -f "$own"
mkdir -p "$(dirname "$virtual")"
printf 'virtualized\r\n85\r\n150' >"$virtual"
chown -R "$user:" "$local_data/VirtualStore"
check "a VirtualStore copy is read before the Windows folder's file ($(readouts))" \
  test "$(readouts)" = "85,150"
check "... Save closes the dialog" host save "$scr" 86 saved
check "... the per-user file has the copy's first line" holds "$own" 'virtualized\r\n86\r\n150'
check "... and the copy is left as it was" holds "$virtual" 'virtualized\r\n85\r\n150'
rm -rf "$local_data/VirtualStore"

# Neither the Windows folder nor the user's roaming folder can be written.
rm -rf "$roaming/Rillo"
chmod a-w "$roaming"
check "nothing writable: Save shows a message box naming the file and the reason, the dialog stays" \
  host save "$scr" 77 refused "$own_win" "(error 5)"
check "... and nothing was written" test ! -e "$roaming/Rillo"
check "... the Windows folder's file is unchanged" holds "$shared" 'set by an administrator\r\n90\r\n200'
chmod u+w "$roaming"

# As root the Windows folder is writable: its file is rewritten in place, and
# no per-user file appears.
wine_run # the root prefix of the other tests
root_shared=$(settings_file)
if [ -e "$root_shared" ]; then cp "$root_shared" "$work/original"; fi
restore_root() {
  if [ -e "$work/original" ]; then cp "$work/original" "$root_shared"; else rm -f "$root_shared"; fi
}
printf 'as root\r\n90\r\n200' >"$root_shared"
root_roaming=$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming
rm -rf "$root_roaming/Rillo"
check "as root, Save closes the dialog" \
  wine_run "$RILLO_SETTINGS_HOST" save "$(winepath -w "$RILLO_SCR")" 91 saved
check "... rewrites the Windows folder's file" holds "$root_shared" 'as root\r\n91\r\n200'
check "... and makes no per-user file" test ! -e "$root_roaming/Rillo"
restore_root
finish

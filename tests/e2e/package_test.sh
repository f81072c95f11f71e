#!/usr/bin/env bash
# The release files as a user gets them: scripts/package run twice gives the same zip,
# which holds what it should; the 64-bit installer installs rillo.scr into the system
# folder, where it runs, with an entry in Add/Remove Programs; a rebuilt installer of
# the same version and a newer one replace it; uninstalling removes both and leaves
# the user's settings. The 32-bit installer refuses to install on 64-bit Windows (this
# Wine is one); one of earlier releases, which did not, is removed by the 64-bit one.
# With --sign and a throwaway certificate every rillo.scr and installer is signed.
. "$(dirname "$0")/lib.sh"
: "${RILLO_SETTINGS_DRIVER:?}"
root=$(cd "$(dirname "$0")/../.." && pwd)
wine_run # makes the prefix on first use

# Fixed for ever: a package with another upgrade code would not replace an older one.
upgrade_x64="{47037D12-AB27-4D13-A195-3D9B9B38901D}"
upgrade_x86="{5081126A-5F88-42A0-ADB0-A63EB0034399}"

bash "$root/scripts/package" --out "$work/dist" >"$work/package.log" 2>&1 ||
  { cat "$work/package.log"; fail "scripts/package"; finish; }
bash "$root/scripts/package" --out "$work/again" >/dev/null 2>&1 || fail "scripts/package again"
version=$(sed -n 's/^version=//p' "$root/build/win64/release.txt")
web_address=$(sed -n 's/^web_address=//p' "$root/build/win64/release.txt")
zip=$work/dist/rillo-$version-windows.zip
msi64=$work/dist/rillo-$version-x64.msi
msi86=$work/dist/rillo-$version-x86.msi
scr86=$root/build/win32/src/app/rillo.scr
check "dist holds the zip and both installers, named with version $version" \
  test -s "$zip" -a -s "$msi64" -a -s "$msi86"
check "two runs give the same zip, byte for byte" cmp "$zip" "$work/again/${zip##*/}"

# --- The zip ---------------------------------------------------------------------
check "the zip lists README.txt, LICENSE.txt, x64/rillo.scr and x86/rillo.scr; both saver builds; text in CR LF" \
  python3 - "$zip" "$RILLO_SCR" "$scr86" "$version" "$web_address" <<'PY'
import re, sys, zipfile
path, scr64, scr86, version, web = sys.argv[1:]
z = zipfile.ZipFile(path)
names = [i.filename for i in z.infolist()]
ok = names == ["README.txt", "LICENSE.txt", "x64/rillo.scr", "x86/rillo.scr"]
ok &= z.read("x64/rillo.scr") == open(scr64, "rb").read()
ok &= z.read("x86/rillo.scr") == open(scr86, "rb").read()
for name in ("README.txt", "LICENSE.txt"):
    text = z.read(name)
    ok &= text.endswith(b"\r\n") and not re.search(rb"(?<!\r)\n", text)
readme = z.read("README.txt").decode("ascii")
ok &= f"Rillo ScreenSaver {version}" in readme and f"Home page: {web}" in readme
ok &= "@VERSION@" not in readme and "@WEB_ADDRESS@" not in readme
ok &= b"Copyright (c) the Rillo authors" in z.read("LICENSE.txt")
print("zip:", names)
sys.exit(0 if ok else 1)
PY

# --- Tables of both installers -------------------------------------------------------
# Each check is one grep on a table (msiinfo export: tab-separated rows).
table_has() { msiinfo export "$1" "$2" | tr -d '\r' | grep -q "$3"; }
property() { msiinfo export "$1" Property | tr -d '\r' | sed -n "s/^$2\t//p"; }
tables() { # tables MSI SAVER SYSTEM-FOLDER COMPONENT-ATTRIBUTES UPGRADE-CODE PLATFORM OTHER-CODE
  local msi=$1 name=${1##*/} size t=$'\t'
  size=$(stat -c %s "$2")
  check "$name: rillo.scr of $size bytes, version $version.0" \
    table_has "$msi" File "^rillo.scr${t}Saver${t}rillo.scr${t}$size${t}$version.0${t}"
  check "$name: ... in $3, the system folder" table_has "$msi" Directory "^$3${t}TARGETDIR${t}\.$"
  check "$name: ... by a component of attributes $4" \
    table_has "$msi" Component "^Saver${t}{[0-9A-F-]*}${t}$3${t}$4${t}${t}rillo.scr$"
  check "$name: product version $version, upgrade code $5, per machine" \
    test "$(property "$msi" ProductVersion)|$(property "$msi" UpgradeCode)|$(property "$msi" ALLUSERS)" \
    = "$version|$5|1"
  check "$name: name, publisher and home page for Add/Remove Programs" \
    test "$(property "$msi" ProductName)|$(property "$msi" Manufacturer)|$(property "$msi" ARPURLINFOABOUT)" \
    = "Rillo ScreenSaver|Quorvane Inc.|$web_address"
  check "$name: removes older versions of its upgrade code, and the same version rebuilt" \
    table_has "$msi" Upgrade "^$5${t}${t}$version${t}${t}513${t}${t}WIX_UPGRADE_DETECTED$"
  check "$name: ... and the other architecture's package, of any version" \
    table_has "$msi" Upgrade "^$7${t}0\.0\.0${t}${t}${t}256${t}${t}RILLO_OTHER_ARCH_FOUND$"
  check "$name: ... which a per-machine install passes on to the removal" \
    table_has "$msi" Property "^SecureCustomProperties${t}.*RILLO_OTHER_ARCH_FOUND"
  check "$name: ... and refuses to install over a newer one" \
    table_has "$msi" LaunchCondition "^NOT WIX_DOWNGRADE_DETECTED${t}"
  check "$name: for $6" bash -c "msiinfo suminfo '$msi' | grep -qx 'Template: $6;1033'"
}
tables "$msi64" "$RILLO_SCR" System64Folder 256 "$upgrade_x64" x64 "$upgrade_x86"
tables "$msi86" "$scr86" SystemFolder 0 "$upgrade_x86" Intel "$upgrade_x64"
refusal="This package is for 32-bit Windows. On 64-bit Windows, install the x64 package, rillo-$version-x64.msi."
check "${msi86##*/}: refuses 64-bit Windows, naming the x64 package" \
  table_has "$msi86" LaunchCondition "^Installed OR NOT VersionNT64"$'\t'"$refusal\$"
check "${msi64##*/}: has no such condition" bash -c "! msiinfo export '$msi64' LaunchCondition | grep -q VersionNT64"
mkdir -p "$work/x86"
msiextract -C "$work/x86" "$msi86" >/dev/null
check "the x86 installer carries the 32-bit rillo.scr" cmp "$work/x86/rillo.scr" "$scr86"

# --- Signed release files -------------------------------------------------------------
# A throwaway self-signed code-signing certificate stands in for the real one.
sign=$work/sign
mkdir -p "$sign"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$sign/key.pem" -out "$sign/cert.pem" \
  -days 2 -subj "/CN=Rillo test signer" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
openssl pkcs12 -export -inkey "$sign/key.pem" -in "$sign/cert.pem" -out "$sign/test.pfx" \
  -passout pass:"pass word"
verified() { osslsigncode verify -CAfile "$sign/cert.pem" -in "$1" >"$sign/verify.log" 2>&1; }
check "scripts/package --sign with a wrong password fails" \
  eval '! RILLO_SIGN_PASSWORD=wrong bash "$root/scripts/package" --sign "$sign/test.pfx" --out "$sign/wrong" >/dev/null 2>&1'
check "... and puts out nothing" test -z "$(ls -A "$sign/wrong" 2>/dev/null)"
RILLO_SIGN_PASSWORD="pass word" bash "$root/scripts/package" --sign "$sign/test.pfx" \
  --out "$sign/dist" >"$sign/package.log" 2>&1 || { cat "$sign/package.log"; fail "scripts/package --sign"; }
mkdir -p "$sign/zip" "$sign/msi64" "$sign/msi86"
python3 -m zipfile -e "$sign/dist/${zip##*/}" "$sign/zip"
msiextract -C "$sign/msi64" "$sign/dist/${msi64##*/}" >/dev/null
msiextract -C "$sign/msi86" "$sign/dist/${msi86##*/}" >/dev/null
for f in zip/x64/rillo.scr zip/x86/rillo.scr "dist/${msi64##*/}" "dist/${msi86##*/}"; do
  check "signed: $f verifies against the certificate" verified "$sign/$f"
done
# unsigned SIGNED PLAIN: SIGNED is PLAIN with a signature added, and nothing else.
unsigned() {
  rm -f "$sign/unsigned"
  osslsigncode remove-signature -in "$1" -out "$sign/unsigned" >/dev/null 2>&1 &&
    cmp -s "$sign/unsigned" "$2"
}
check "signed: the zip's rillo.scr files are this build's, x64 and x86, signed" \
  eval 'unsigned "$sign/zip/x64/rillo.scr" "$RILLO_SCR" && unsigned "$sign/zip/x86/rillo.scr" "$scr86"'
check "signed: each installer carries the zip's signed rillo.scr" \
  eval 'cmp "$sign/msi64/rillo.scr" "$sign/zip/x64/rillo.scr" && cmp "$sign/msi86/rillo.scr" "$sign/zip/x86/rillo.scr"'
check "without --sign the release files carry no signature" \
  eval '! verified "$msi64" && ! verified "$msi86" && ! verified "$work/x86/rillo.scr"'

# --- Installing under Wine ---------------------------------------------------------
installed=$(windows_dir)/system32/rillo.scr
installed_w='C:\windows\system32\rillo.scr'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# has_entry MSI VERSION: its product's entry, as Add/Remove Programs shows it. (Wine's
# reg now and then prints nothing on a busy machine: ask again.)
has_entry() {
  local key try text=""
  key="$uninstall_key\\$(property "$1" ProductCode)"
  for try in 1 2 3; do
    text=$(wine_run reg query "$key" 2>/dev/null | tr -d '\r') || true
    [ -n "$text" ] && break
  done
  local value name expected
  for value in "DisplayName=Rillo ScreenSaver" "DisplayVersion=$2" "Publisher=Quorvane Inc." \
    "URLInfoAbout=$web_address"; do
    name=${value%%=*} expected=${value#*=}
    grep -qxF "    $name    REG_SZ    $expected" <<<"$text" || return 1
  done
}
no_entry() { ! wine_run reg query "$uninstall_key\\$(property "$1" ProductCode)" >/dev/null 2>&1; }
# The entries of 32-bit packages, as the 64-bit reg sees them.
uninstall_key32='HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall'
has_entry32() { wine_run reg query "$uninstall_key32\\$(property "$1" ProductCode)" >/dev/null 2>&1; }
# How many entries named Rillo ScreenSaver there are, in either view.
entries() {
  local key n=0
  for key in "$uninstall_key" "$uninstall_key32"; do
    n=$((n + $(wine_run reg query "$key" /s 2>/dev/null | tr -d '\r' |
      grep -cx '    DisplayName    REG_SZ    Rillo ScreenSaver' || true)))
  done
  echo "$n"
}
msi() { wine_run msiexec "$1" "$(winepath -w "$2")" /qn >/dev/null 2>&1; } # msi /i|/x MSI
refused() { ! msi "$@"; }

# Leave the prefix as it was found: no saver installed, the settings file as it was.
settings=$(settings_file)
if [ -e "$settings" ]; then cp "$settings" "$work/settings"; fi
restore() {
  for m in "$msi64" "$msi86" "$work/old86.msi" "$work/rebuilt.msi" "$work/next.msi"; do
    [ -f "$m" ] && wine_run msiexec /x "$(property "$m" ProductCode)" /qn >/dev/null 2>&1 || true
  done
  cleanup
  if [ -e "$work/settings" ]; then cp "$work/settings" "$settings"; else rm -f "$settings"; fi
}
trap restore EXIT

installed86=$(windows_dir)/syswow64/rillo.scr
check "msiexec /i ${msi86##*/} /qn is refused on 64-bit Windows" refused /i "$msi86"
check "... and installs nothing" test ! -e "$installed86" -a ! -e "$installed"
check "... and makes no entry ($(entries))" test "$(entries)" = 0

# An x86 package of an earlier release, without that condition, went into SysWOW64.
cp "$msi86" "$work/old86.msi"
msibuild "$work/old86.msi" -q "DELETE FROM \`LaunchCondition\` WHERE \`Condition\` = 'Installed OR NOT VersionNT64'"
check "an x86 package without the condition installs into SysWOW64" msi /i "$work/old86.msi"
check "... where its rillo.scr is" cmp "$installed86" "$scr86"
check "... with its entry" has_entry32 "$work/old86.msi"

check "msiexec /i ${msi64##*/} /qn succeeds" msi /i "$msi64"
check "... and puts rillo.scr into system32" cmp "$installed" "$RILLO_SCR"
check "... with its entry in Add/Remove Programs" has_entry "$msi64" "$version"
check "... removing the x86 package's rillo.scr" test ! -e "$installed86"
check "... and its entry: one Rillo ScreenSaver in Add/Remove Programs ($(entries))" \
  test "$(entries)" = 1

# The installed saver runs: full screen until a key, and its settings dialog.
spawn wine_run "$installed_w" /s
saver=$last_pid
ended=""
if wait_saver_window; then
  for _ in 1 2 3 4 5; do
    xdotool key a
    if wait_exit "$saver" 2; then ended=$exit_code; break; fi
  done
fi
check "the installed rillo.scr /s runs full screen and ends on a key with code 0 (${ended:-running})" \
  test "$ended" = 0
check "the installed rillo.scr /c shows its settings dialog, which Quit closes" \
  wine_run "$RILLO_SETTINGS_DRIVER" run "$installed_w" /c click=quit exits

printf 'mine\r\n90\r\n200' >"$settings"
check "msiexec /x ${msi64##*/} /qn succeeds" msi /x "$msi64"
check "... removes rillo.scr" test ! -e "$installed"
check "... and the entry" no_entry "$msi64"
check "... and leaves the settings file alone" cmp -s "$settings" <(printf 'mine\r\n90\r\n200')

# A newer version of the same installer replaces the installed one in place.
IFS=. read -r major minor patch <<<"$version"
next=$major.$minor.$((patch + 1))
bash "$root/packaging/make-msi" x64 "$RILLO_SCR" "$next" "$web_address" "$work/next.msi"
check "reinstalling $version succeeds" msi /i "$msi64"
# A package rebuilt from the same version has a product code of its own.
bash "$root/packaging/make-msi" x64 "$RILLO_SCR" "$version" "$web_address" "$work/rebuilt.msi"
check "installing a rebuilt $version package over it succeeds" msi /i "$work/rebuilt.msi"
check "... with its entry" has_entry "$work/rebuilt.msi" "$version"
check "... in place of the first one's ($(entries) in all)" test "$(entries)" = 1
check "installing $next over it succeeds" msi /i "$work/next.msi"
check "... leaves rillo.scr in system32" cmp "$installed" "$RILLO_SCR"
check "... with the entry of $next" has_entry "$work/next.msi" "$next"
check "... and none of $version" no_entry "$work/rebuilt.msi"
check "installing $version over $next is refused" refused /i "$msi64"
check "... and $next stays" has_entry "$work/next.msi" "$next"
check "uninstalling $next succeeds" msi /x "$work/next.msi"
check "... removes rillo.scr" test ! -e "$installed"
check "... and the entry" no_entry "$work/next.msi"
finish

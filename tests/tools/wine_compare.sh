#!/usr/bin/env bash
# Renders the same picture with the native rillo-render and with the Windows one
# under Wine and compares the files byte for byte.
#   wine_compare.sh HOST_RENDER WIN_RENDER_EXE WIN_MAKE_PICTURE_EXE WINE_RUN PREFIX WORKDIR
set -u
host_render=$1
win_render=$2
win_make_picture=$3
wine_run=$4
prefix=$5
work=$6

if [ ! -x "$host_render" ]; then
    echo "SKIP: no native rillo-render at $host_render (build the host preset first)"
    exit 77
fi
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
export WINEDEBUG=-all

fail() {
    echo "FAIL: $*"
    exit 1
}
wine_exe() {
    bash "$wine_run" --prefix "$prefix" "$@"
}

# File names stay relative: the Windows programs see the same directory as Z:.
wine_exe "$win_make_picture" 203 157 24 bottom-up pic.bmp || fail "make_picture under Wine"
[ -s pic.bmp ] || fail "no picture"

run_both() {
    local name=$1
    shift
    local want got
    want=$("$host_render" "$@" pic.bmp "host-$name.bmp") || fail "native run $name"
    got=$(wine_exe "$win_render" "$@" pic.bmp "wine-$name.bmp" | tr -d '\r') ||
        fail "Wine run $name"
    [ "$want" = "$got" ] || fail "$name: native printed '$want', Windows printed '$got'"
    cmp "host-$name.bmp" "wine-$name.bmp" || fail "$name: frames differ"
    echo "ok: $name: $want"
}

run_both default
# Writing over an existing file works on Windows too.
wine_exe "$win_render" pic.bmp wine-default.bmp >/dev/null || fail "Windows run over an existing file"
cmp host-default.bmp wine-default.bmp || fail "frame differs after writing over the file"
run_both steep --ticks 300 --wavelength 37 --amplitude 4000
run_both wide --ticks 120 --wavelength 500 --amplitude -3000
echo "PASS"

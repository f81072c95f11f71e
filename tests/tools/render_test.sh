#!/usr/bin/env bash
# Tests of rillo-render's interface: render_test.sh RENDER MAKE_PICTURE WORKDIR CASE
set -u
render=$1
make_picture=$2
work=$3/$4
case_name=$4
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1

fail() {
    echo "FAIL: $*"
    exit 1
}

# Writes a little-endian 32-bit value at a byte offset of a file.
poke32() {
    local file=$1 at=$2 v=$3
    printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((v & 255)) $(((v >> 8) & 255)) \
        $(((v >> 16) & 255)) $(((v >> 24) & 255)))" |
        dd of="$file" bs=1 seek="$at" conv=notrunc status=none
}
poke16() {
    local file=$1 at=$2 v=$3
    printf "$(printf '\\x%02x\\x%02x' $((v & 255)) $(((v >> 8) & 255)))" |
        dd of="$file" bs=1 seek="$at" conv=notrunc status=none
}

# expect_bad TEXT ARGS...: exit 2, one stderr line containing TEXT, no output file.
expect_bad() {
    local needle=$1
    shift
    rm -f out.bmp out.bmp.part
    "$render" "$@" >stdout.txt 2>stderr.txt
    local rc=$?
    [ "$rc" -eq 2 ] || fail "exit $rc for: $*"
    [ "$(wc -l <stderr.txt)" -eq 1 ] || fail "stderr is not one line for: $*: $(cat stderr.txt)"
    grep -qF -- "$needle" stderr.txt || fail "stderr lacks '$needle' for: $*: $(cat stderr.txt)"
    [ ! -s stdout.txt ] || fail "stdout not empty for: $*"
    [ ! -e out.bmp ] && [ ! -e out.bmp.part ] || fail "output file left behind for: $*"
    echo "ok: $* -> $(cat stderr.txt)"
}

expect_line() {
    local want=$1
    shift
    local got
    got=$("$render" "$@") || fail "exit $? for: $*"
    [ "$got" = "$want" ] || fail "printed '$got', want '$want' for: $*"
}

"$make_picture" 64 48 24 bottom-up pic24.bmp || fail "make_picture"

case $case_name in
render)
    expect_line "ticks 100, steps 84" pic24.bmp out.bmp
    [ "$(stat -c %s out.bmp)" -eq $((54 + 64 * 48 * 4)) ] || fail "output size"
    # 32-bit BI_RGB, bottom-up, 54-byte headers.
    [ "$(od -An -tu4 -j10 -N4 out.bmp | tr -d ' ')" = 54 ] || fail "bfOffBits"
    [ "$(od -An -tu4 -j22 -N4 out.bmp | tr -d ' ')" = 48 ] || fail "biHeight"
    [ "$(od -An -tu2 -j28 -N2 out.bmp | tr -d ' ')" = 32 ] || fail "biBitCount"
    [ "$(od -An -tu4 -j30 -N4 out.bmp | tr -d ' ')" = 0 ] || fail "biCompression"
    # The same picture in every encoding renders the same frame.
    for enc in "32 bottom-up" "24 top-down" "32 top-down"; do
        "$make_picture" 64 48 $enc other.bmp || fail "make_picture $enc"
        expect_line "ticks 100, steps 84" other.bmp other-out.bmp
        cmp -s out.bmp other-out.bmp || fail "$enc renders differently"
    done
    expect_line "ticks 7, steps 7" --ticks 7 --wavelength 3 --amplitude -500 pic24.bmp x.bmp
    # Another monitor's seed is another rain; seed 100 is the primary's, the default.
    expect_line "ticks 100, steps 84" --seed 100 pic24.bmp seed100.bmp
    cmp -s out.bmp seed100.bmp || fail "--seed 100 differs from the default"
    "$render" --seed 101 pic24.bmp seed101.bmp >/dev/null || fail "--seed 101"
    ! cmp -s out.bmp seed101.bmp || fail "--seed 101 renders the primary's rain"
    # Any number of threads renders the same frame.
    "$make_picture" 700 300 32 bottom-up big.bmp || fail "make_picture 700 300"
    expect_line "ticks 60, steps 111" --ticks 60 --threads 1 big.bmp big1.bmp
    for t in 2 3 7; do
        expect_line "ticks 60, steps 111" --ticks 60 --threads $t big.bmp big$t.bmp
        cmp -s big1.bmp big$t.bmp || fail "--threads $t renders differently"
    done
    ;;
still)
    # No ticks: the frame is the picture, top bytes cleared, rows in memory order.
    expect_line "ticks 0, steps 0" --ticks 0 pic24.bmp out.bmp
    "$make_picture" 64 48 32 bottom-up pic32.bmp
    cmp -s <(tail -c +55 out.bmp) <(tail -c +55 pic32.bmp | perl -0777 -pe 's/(...)./$1\0/gs') ||
        fail "frame differs from the picture"
    ;;
engines)
    # The GL engine renders the processor engine's frames, byte for byte.
    if ! "$render" --engine gl --ticks 0 pic24.bmp gl.bmp >/dev/null 2>stderr.txt; then
        if grep -qE "EGL|context|no headless OpenGL" stderr.txt; then
            echo "SKIP: no OpenGL 4.3 context here: $(cat stderr.txt)"
            exit 77
        fi
        fail "--engine gl: $(cat stderr.txt)"
    fi
    "$make_picture" 31 3 32 bottom-up thin.bmp || fail "make_picture"
    "$make_picture" 3 40 24 bottom-up narrow.bmp || fail "make_picture"
    "$make_picture" 641 479 24 top-down wide.bmp || fail "make_picture"
    while read -r picture options; do
        # shellcheck disable=SC2086
        cpu=$("$render" --engine cpu $options "$picture" cpu.bmp) || fail "cpu: $options"
        # shellcheck disable=SC2086
        gl=$("$render" --engine gl $options "$picture" gl.bmp) || fail "gl: $options"
        [ "$cpu" = "$gl" ] || fail "$picture $options: cpu '$cpu', gl '$gl'"
        cmp -s cpu.bmp gl.bmp || fail "$picture $options: the engines' frames differ"
        echo "ok: $picture $options: $gl"
    done <<'CASES'
pic24.bmp
pic24.bmp --ticks 7 --wavelength 3 --amplitude -500
pic24.bmp --seed 101 --ticks 250
pic24.bmp --wavelength 1000 --ticks 20
pic24.bmp --amplitude 99 --ticks 30
pic24.bmp --amplitude -2147483648 --wavelength 7
thin.bmp --wavelength 2 --ticks 60
narrow.bmp --wavelength 5 --ticks 60
wide.bmp --ticks 300
CASES
    ;;
bad-files)
    expect_bad "missing.bmp: cannot open" missing.bmp out.bmp
    echo "hello, this is text and not a picture" >text.bmp
    expect_bad "text.bmp: not a BMP file" text.bmp out.bmp
    : >empty.bmp
    expect_bad "empty.bmp: not a BMP file" empty.bmp out.bmp
    head -c 5000 pic24.bmp >short.bmp
    expect_bad "short.bmp: truncated" short.bmp out.bmp
    head -c 30 pic24.bmp >header.bmp
    expect_bad "header.bmp: truncated" header.bmp out.bmp
    cp pic24.bmp rle.bmp && poke32 rle.bmp 30 1
    expect_bad "rle.bmp: compressed" rle.bmp out.bmp
    cp pic24.bmp b16.bmp && poke16 b16.bmp 28 16
    expect_bad "b16.bmp: unsupported bit depth 16" b16.bmp out.bmp
    cp pic24.bmp b8.bmp && poke16 b8.bmp 28 8
    expect_bad "b8.bmp: unsupported bit depth 8" b8.bmp out.bmp
    cp pic24.bmp zero.bmp && poke32 zero.bmp 18 0
    expect_bad "zero.bmp: invalid size" zero.bmp out.bmp
    cp pic24.bmp flat.bmp && poke32 flat.bmp 22 0
    expect_bad "flat.bmp: invalid size" flat.bmp out.bmp
    cp pic24.bmp neg.bmp && poke32 neg.bmp 18 $((0xFFFFFFF0))
    expect_bad "neg.bmp: invalid size" neg.bmp out.bmp
    cp pic24.bmp huge.bmp && poke32 huge.bmp 18 60000 && poke32 huge.bmp 22 60000
    expect_bad "huge.bmp: picture too large" huge.bmp out.bmp
    cp pic24.bmp min.bmp && poke32 min.bmp 22 $((0x80000000))
    expect_bad "min.bmp: invalid size" min.bmp out.bmp
    cp pic24.bmp wide.bmp && poke32 wide.bmp 18 65
    expect_bad "wide.bmp: truncated" wide.bmp out.bmp
    cp pic24.bmp off.bmp && poke32 off.bmp 10 $((0xFFFFFF00))
    expect_bad "off.bmp: truncated" off.bmp out.bmp
    cp pic24.bmp core.bmp && poke32 core.bmp 14 12
    expect_bad "core.bmp: unsupported BMP header" core.bmp out.bmp
    mkdir -p dir.bmp
    expect_bad "dir.bmp" dir.bmp out.bmp
    expect_bad "nowhere/out.bmp: cannot create" pic24.bmp nowhere/out.bmp
    ;;
bad-options)
    expect_bad "--ticks: 'abc' is not a number" --ticks abc pic24.bmp out.bmp
    expect_bad "--ticks: '12x' is not a number" --ticks 12x pic24.bmp out.bmp
    expect_bad "--ticks: '' is not a number" --ticks "" pic24.bmp out.bmp
    expect_bad "--ticks: -1 is out of range" --ticks -1 pic24.bmp out.bmp
    expect_bad "--threads: 0 is out of range" --threads 0 pic24.bmp out.bmp
    expect_bad "--threads: missing value" pic24.bmp out.bmp --threads
    expect_bad "--ticks: 1000001 is out of range" --ticks 1000001 pic24.bmp out.bmp
    expect_bad "--ticks: '99999999999999999999' is out of range" \
        --ticks 99999999999999999999 pic24.bmp out.bmp
    expect_bad "--wavelength: '1.5' is not a number" --wavelength 1.5 pic24.bmp out.bmp
    expect_bad "--amplitude: 3000000000 is out of range" --amplitude 3000000000 pic24.bmp out.bmp
    expect_bad "--amplitude: missing value" pic24.bmp out.bmp --amplitude
    expect_bad "--seed: 'x' is not a number" --seed x pic24.bmp out.bmp
    expect_bad "--speed: unknown option" --speed 3 pic24.bmp out.bmp
    expect_bad "--engine: 'gpu' is neither cpu nor gl" --engine gpu pic24.bmp out.bmp
    expect_bad "--engine: missing value" pic24.bmp out.bmp --engine
    expect_bad "usage:" pic24.bmp
    expect_bad "usage:" pic24.bmp out.bmp third.bmp
    expect_bad "usage:"
    ;;
*)
    fail "unknown case $case_name"
    ;;
esac
echo "PASS: $case_name"

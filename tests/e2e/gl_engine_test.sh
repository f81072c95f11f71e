#!/usr/bin/env bash
# The engine the profile's "Engine" value chooses, on a display whose OpenGL is Mesa's
# llvmpipe: "gl" runs the water on OpenGL, no value keeps the processor engine (the
# renderer is software), and so do "cpu" (OpenGL not even loaded), "gl" without
# opengl32.dll and "gl" on a display without GLX. Whichever engine runs, the screen
# equals rillo-render's frame bit for bit and a key ends the saver with code 0. The
# engine is told from outside the process: the modules it mapped and the work of
# llvmpipe's threads.
. "$(dirname "$0")/lib.sh"

use_engine_tools

read -r W H < <(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1], d[2] }')
bash "$(dirname "$0")/../../scripts/sample-desktop" "$W" "$H" "$work/desktop.bmp"
printf 'e2e\r\n90\r\n200' > "$(settings_file)"

matched=""
rippled() {
  screenshot "$work/shot.png"
  [ "$(compare -metric AE "$work/desktop.bmp" "$work/shot.png" null: 2>&1)" != 0 ] || return 1
  convert "$work/shot.png" -type TrueColor BMP3:"$work/shot.bmp"
  matched=$(frame_match --wavelength 90 --amplitude 200 --max-ticks 2000 \
    "$work/desktop.bmp" "$work/shot.bmp")
}

# run_case NAME ENGINE gl|cpu [DLL OVERRIDE]: the saver over the desktop with the
# profile's value ENGINE (none: no value) runs the engine named, with exact frames.
run_case() {
  local name=$1 want=$3 overrides="mscoree,mshtml=${4:+;$4}" diff
  echo "== $name"
  set_engine "$2"
  show_desktop "$work/desktop.bmp"
  WINEDLLOVERRIDES=$overrides spawn wine_run "$RILLO_SCR" /s
  local saver=$last_pid
  matched=""
  wait_for 60 rippled || true
  check "$name: a screenshot equals a frame of the engine (ticks: ${matched:-none})" \
    test -n "$matched"
  if [ -n "$matched" ]; then
    render --ticks "$matched" --wavelength 90 --amplitude 200 "$work/desktop.bmp" \
      "$work/render.bmp" >/dev/null
    diff=$(compare -metric AE "$work/render.bmp" "$work/shot.png" null: 2>&1 || true)
    check "$name: rillo-render's frame equals the screen bit for bit (AE $diff)" test "$diff" = 0
  fi
  echo "modules: $(grep -oiE '[^/ ]*(opengl32\.dll|swrast_dri\.so|libgallium[^ ]*|libGLX_mesa[^ ]*)' \
    "/proc/$saver/maps" 2>/dev/null | sort -u | tr '\n' ' ')"
  if [ "$want" = gl ]; then
    check "$name: opengl32.dll and llvmpipe's driver are loaded" \
      eval 'maps_has $saver "opengl32\.dll" && maps_has $saver "swrast_dri\.so|libgallium"'
    check "$name: the GL engine draws (llvmpipe's threads work)" gl_draws "$saver" 10
  else
    # The water moves all the while, on the processor.
    check "$name: the screen keeps changing" screen_changes 10
    check "$name: llvmpipe's threads do no work while it does" eval '! gl_draws $saver 3'
  fi
  case $2/${4:-} in
  cpu/* | */opengl32=d)
    check "$name: opengl32.dll is not loaded" eval '! maps_has $saver "opengl32\.dll"'
    ;;
  esac
  # Without a value the context is tried, and llvmpipe turned down; otherwise a
  # processor run never gets as far as a GL driver.
  [ "$want/$2" = cpu/none ] ||
    [ "$want" = gl ] ||
    check "$name: no GL driver is loaded" eval '! maps_has $saver "swrast_dri\.so|libgallium"'
  xdotool key space
  check "$name: a key ends the saver within 5 s" wait_exit "$saver" 5
  check "$name: with exit code 0" test "${exit_code:-1}" = 0
  kill "$desktop_pid" 2>/dev/null || true
  wait_exit "$desktop_pid" 10 || true
}

run_case "Engine gl" gl gl
run_case "no Engine value" none cpu
run_case "Engine cpu" cpu cpu
run_case "Engine gl, OpenGL switched off" gl cpu opengl32=d

# A display without GLX: a server of its own, and a prefix of its own (Wine's
# programs of a prefix all belong to one display).
main_display=$DISPLAY
main_prefix=$WINEPREFIX
. "$(dirname "$0")/../../scripts/xvfb.sh"
xvfb_start "${W}x${H}x24" -extension GLX
if xdpyinfo -queryExtensions | grep -q GLX; then
  fail "the display still offers GLX"
else
  export WINEPREFIX=$work/prefix
  cp -a "$main_prefix" "$WINEPREFIX"
  run_case "Engine gl on a display without GLX" gl cpu
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  export WINEPREFIX=$main_prefix
fi
xvfb_stop
export DISPLAY=$main_display
set_engine gl
finish

#!/usr/bin/env bash
# The settings dialog started by the Screen Saver Settings window as "/c:HANDLE":
# it belongs to that window, stands centred over it and keeps it disabled while open.
# A handle of a window that is gone leaves the dialog on its own, as "/c" does.
. "$(dirname "$0")/lib.sh"
: "${RILLO_SETTINGS_HOST:?}"
wine_run # makes the prefix on first use

scr=$(winepath -w "$RILLO_SCR")
host() { wine_run "$RILLO_SETTINGS_HOST" "$@"; }

check "/c:HANDLE of a live window: the dialog is owned by it and centred over it" \
  host owned "$scr"
check "/c:HANDLE of a window that is gone: the dialog stands alone, centred on the screen" \
  host dead "$scr"
finish

#!/usr/bin/env bash
# The real window under Xvfb: it opens titled "Aerolume", covers the whole screen, and
# what a person sees is the sky.
AEROLUME=$1
XPROBE=$2
source "$(dirname "$0")/lib.sh"

open_fullscreen_window
grab "$WORK/screen.png"
sky=$("$XPROBE" sky "$WORK/screen.png")
note "sky-coloured share of the screen: $sky"
greater "$sky" 0.25 || fail "the screen does not show the sky colour (share $sky)"
app_running || fail "the program ended by itself: $(cat "$WORK/app.err")"
echo "PASS"

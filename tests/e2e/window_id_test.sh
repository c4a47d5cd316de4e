#!/usr/bin/env bash
# Drawing into a window another program owns: the sky fills the host's window and follows
# its size; the program sleeps while the window is unmapped; it ends with status 0 and says
# nothing when the window goes away, on SIGINT or SIGTERM (asleep too) and when the
# display is lost; XSCREENSAVER_WINDOW and the root window work too; a window it cannot
# use is one line on stderr and status 1.
AEROLUME=$1
XPROBE=$2
HOST=${3:-}
source "$(dirname "$0")/lib.sh"
[ -x "$HOST" ] || fail "the host window program is missing (third argument): '$HOST'"

# Share (0..1) of pixels in the exact sky colour inside X Y W H of a grab, measured
# against $WORK/sky.png, a grab of a screen-wide window painted in that colour.
sky_in() { awk -v d="$(changed "$1" "$WORK/sky.png" "$2" "$3" "$4" "$5")" 'BEGIN{print 1 - d}'; }

# Waits (up to 20 s) until the sky fills much of X Y W H on the screen (clouds can cover
# two fifths of the picture; the host's own black background is no sky).
wait_for_sky() {
  local share=0
  for _ in $(seq 40); do
    grab "$WORK/shot.png"
    share=$(sky_in "$WORK/shot.png" "$@")
    greater "$share" 0.4 && { note "sky fills $share of $*"; return 0; }
    app_running || fail "the program ended: $(cat "$WORK/app.err")"
    sleep 0.5
  done
  fail "the sky fills only $share of $* on the screen"
}

# The sky on the last grab lies inside the host window only: the whole screen shows less
# of it than a full-screen picture would (the host windows cover under a tenth).
only_in_host_window() {
  local screen
  screen=$(sky_in "$WORK/shot.png" 0 0 $SCREEN_W $SCREEN_H)
  greater 0.15 "$screen" || fail "the sky covers $screen of the screen, not only the host window"
}

# Starts the program (or env with it) in the background; sets APP_PID.
start_app_with() {
  "$@" >"$WORK/app.out" 2>"$WORK/app.err" &
  APP_PID=$!
}

# Ends the program with a signal and checks status 0 and a silent stderr.
stop_app_with() {
  kill -"$1" "$APP_PID"
  wait_app_exit 5
  [ "$APP_STATUS" -eq 0 ] || fail "SIG$1 ended the program with status $APP_STATUS"
  [ -s "$WORK/app.err" ] && fail "stderr after SIG$1: $(cat "$WORK/app.err")"
  note "SIG$1 ended the program with status 0"
}

# The program ends at once with status 1 and exactly one "aerolume: " line on stderr.
expect_refusal() {
  local status=0
  timeout 20 "$AEROLUME" "$@" >/dev/null 2>"$WORK/refusal.err" || status=$?
  [ "$status" -eq 1 ] || fail "$* ended with status $status, expected 1"
  [ "$(wc -l <"$WORK/refusal.err")" -eq 1 ] && grep -q '^aerolume: ' "$WORK/refusal.err" ||
    fail "$* did not give one line on stderr: $(cat "$WORK/refusal.err")"
  note "$* refused: $(cat "$WORK/refusal.err")"
}

start_xvfb
start_host "${SCREEN_W}x${SCREEN_H}+0+0" double 3380ff
grab "$WORK/sky.png"
stop_host

start_host 400x300+100+80
grab "$WORK/black.png"
# Seed 5's sky has clouds across the top of the picture, which the resize check needs.
start_app_with "$AEROLUME" --window-id "$HOST_WINDOW" --seed 5
wait_for_sky 100 80 400 300
only_in_host_window

# GL draws from the bottom-left corner: once drawn over (no longer black), the band above
# the old 400x300 picture holds clouds or balloons only if the picture was rescaled, and
# only the cleared sky if not.
xdotool windowsize "$HOST_WINDOW" 640 480
wait_for_sky 100 80 640 480
sleep 0.5
grab "$WORK/shot.png"
band_drawn=$(changed "$WORK/shot.png" "$WORK/black.png" 100 80 640 180)
band_sky=$(sky_in "$WORK/shot.png" 100 80 640 180)
greater "$band_drawn" 0.99 || fail "the band above the old picture was not drawn ($band_drawn)"
greater 0.998 "$band_sky" ||
  fail "the picture did not follow the new size (the band above is all sky: $band_sky)"
note "the picture follows the new size (sky share of the band above: $band_sky)"

stop_host
wait_app_exit 5
[ "$APP_STATUS" -eq 0 ] || fail "the window went away and the program ended with $APP_STATUS"
[ -s "$WORK/app.err" ] && fail "stderr after the window went away: $(cat "$WORK/app.err")"
note "the window went away: status 0, nothing on stderr"

start_host 400x300+700+500
# As screen-saver hosts start their saver: -root, with their window in the variable.
start_app_with env XSCREENSAVER_WINDOW="$HOST_WINDOW" "$AEROLUME" -root
wait_for_sky 700 500 400 300
only_in_host_window
stop_app_with INT
# It sleeps while the host's window is unmapped, and a signal still ends it at once.
start_app_with "$AEROLUME" --window-id "$HOST_WINDOW"
wait_for_sky 700 500 400 300
xdotool windowunmap "$HOST_WINDOW"
asleep "the host's window unmapped"
stop_app_with TERM
stop_host

expect_refusal --window-id 0x1ffffff0
expect_refusal --window-id 0x7ffffff0
start_host 300x200+0+0 no-depth
expect_refusal --window-id "$HOST_WINDOW"
grep -q 'depth buffer' "$WORK/refusal.err" || fail "the refusal does not name the depth buffer"
stop_host

# The root window keeps this picture afterwards: the next case draws in a window on top.
start_app_with "$AEROLUME" --root
wait_for_sky 0 0 $SCREEN_W $SCREEN_H
stop_app_with TERM

# The display connection is lost while drawing: the program ends quietly with status 0.
start_host 400x300+100+80
start_app_with "$AEROLUME" --window-id "$HOST_WINDOW"
wait_for_sky 100 80 400 300
kill "$XVFB_PID"
wait "$XVFB_PID" 2>/dev/null
XVFB_PID=""
wait_app_exit 5
[ "$APP_STATUS" -eq 0 ] || fail "losing the display ended the program with $APP_STATUS"
[ -s "$WORK/app.err" ] && fail "stderr after the display was lost: $(cat "$WORK/app.err")"
note "the display was lost: status 0, nothing on stderr"
echo "PASS"

#!/usr/bin/env bash
# Drawing into a window another program owns: the sky fills the host's window and follows
# its size; the program sleeps while the window is unmapped, an ancestor is unmapped, or
# another window covers it (from the start too), and after a reparent into a parent that
# is unmapped; under a compositing manager a covered window is drawn, and --root is
# refused with one line that names --background; changes made while
# it starts are not lost; it ends with status 0 and says nothing when the window goes away
# (while it starts too), on SIGINT or SIGTERM (asleep too) and when the display is lost;
# SIGUSR1 makes new clouds and, while unmapped, leaves it asleep;
# XSCREENSAVER_WINDOW and the root window work too, and the root sleeps while one window
# covers the whole screen; a window it cannot use is one line on stderr and status 1.
AEROLUME=$1
XPROBE=$2
HOST=${3:-}
STOP_LIB=${4:-}
source "$(dirname "$0")/lib.sh"
start_session_bus
[ -x "$HOST" ] || fail "the host window program is missing (third argument): '$HOST'"
[ -f "$STOP_LIB" ] || fail "the library that stops the program is missing (fourth argument)"

# Share (0..1) of pixels in the exact sky colour inside X Y W H of a grab, measured
# against $WORK/sky.png, a grab of a screen-wide window painted in that colour.
sky_in() { awk -v d="$(changed "$1" "$WORK/sky.png" "$2" "$3" "$4" "$5")" 'BEGIN{print 1 - d}'; }

# Waits until the sky fills much of X Y W H on the screen (clouds can cover two fifths of
# the picture; the host's own black background is no sky).
sky_fills() {
  wait_for_sky "sky_grabbed_in $*" 0.4 "the sky fills too little of $* on the screen"
  note "sky fills $SKY of $*"
}
sky_grabbed_in() { "$XPROBE" grab "$WORK/shot.png" && sky_in "$WORK/shot.png" "$@"; }

# The sky on the last grab lies inside the host window only: the whole screen shows less
# of it than a full-screen picture would (the host windows cover under a tenth).
only_in_host_window() {
  local screen
  screen=$(sky_in "$WORK/shot.png" 0 0 $SCREEN_W $SCREEN_H)
  greater 0.15 "$screen" || fail "the sky covers $screen of the screen, not only the host window"
}

# The host window, at 100,80, is resized to 640x480: the picture follows. GL draws from
# the bottom-left corner: once drawn over (no longer black), the band above the old
# 400x300 picture holds clouds or balloons only if the picture was rescaled, and only the
# cleared sky if not. Needs $WORK/black.png (the 400x300 host window, black).
picture_follows_resize() {
  sky_fills 100 80 640 480
  sleep 0.5
  grab "$WORK/shot.png"
  local band_drawn band_sky
  band_drawn=$(changed "$WORK/shot.png" "$WORK/black.png" 100 80 640 180)
  band_sky=$(sky_in "$WORK/shot.png" 100 80 640 180)
  greater "$band_drawn" 0.99 || fail "$1: the band above the old picture was not drawn ($band_drawn)"
  greater 0.998 "$band_sky" ||
    fail "$1: the picture did not follow the new size (the band above is all sky: $band_sky)"
  note "$1: the picture follows the new size (sky share of the band above: $band_sky)"
}

start_xvfb
start_host "${SCREEN_W}x${SCREEN_H}+0+0" double 3380ff
grab "$WORK/sky.png"
stop_host

start_host 400x300+100+80
grab "$WORK/black.png"
# Seed 5's sky has clouds across the top of the picture, which the resize checks need.
start_app_with "$AEROLUME" --window-id "$HOST_WINDOW" --seed 5
sky_fills 100 80 400 300
only_in_host_window
xdotool windowsize "$HOST_WINDOW" 640 480
picture_follows_resize "resized while drawing"

stop_host
expect_quiet_end "$APP_PID" 5 "the window went away"

# Changes while the program starts, at a known point: stopped just after it first found
# the window (before it selects the window's events) or before it makes its GL context
# current there; the window changes meanwhile, then the program goes on. Nothing is lost.
while read -r stop change; do
  start_host 400x300+100+80
  start_app_stopped "before $stop" --window-id "$HOST_WINDOW" --seed 5
  case $change in
    unmapped) xdotool windowunmap --sync "$HOST_WINDOW" ;;
    resized) xdotool windowsize --sync "$HOST_WINDOW" 640 480 ;;
    destroyed) destroy_window "$HOST_WINDOW" ;;
  esac
  kill -CONT "$APP_PID"
  case $change in
    unmapped) asleep "unmapped before $stop" ;;
    resized) picture_follows_resize "resized before $stop" ;;
    destroyed) expect_quiet_end "$APP_PID" 5 "destroyed before $stop" ;;
  esac
  [ -n "$APP_PID" ] && stop_app_with TERM
  stop_host
done <<'SEQUENCES'
XSelectInput unmapped
XSelectInput resized
XSelectInput destroyed
glXMakeCurrent unmapped
glXMakeCurrent destroyed
SEQUENCES

# Covered from the start by a window over its top-level ancestor: asleep from the start;
# uncovered, drawn. Then that ancestor unmapped: asleep; mapped again: drawn again.
start_host 400x300+100+80 child
start_cover 600x500+50+50
start_app_with "$AEROLUME" --window-id "$HOST_WINDOW"
asleep "covered from the start"
expect_status "  window 400x300 asleep: covered by another window" "covered from the start"
stop_cover
sky_fills 100 80 400 300
xdotool windowunmap --sync "$HOST_PARENT"
asleep "its top-level ancestor unmapped"
expect_status "  window 400x300 asleep: its window is unmapped or minimized" "its ancestor unmapped"
# The same for panels and scripts, as JSON.
control status --json | "$PYTHON" -c '
import json, sys
(program,) = json.load(sys.stdin)
assert program["role"] == "host-window" and not program["paused"], program
(view,) = program["views"]
assert (view["name"], view["width"], view["height"], view["drawn"], view["reason"]) == \
    ("window", 400, 300, False, "hidden"), view' || fail "status --json does not say the same"
xdotool windowmap --sync "$HOST_PARENT"
drawing "its ancestor mapped again"
stop_app_with TERM
stop_host
# Reparented into a new parent, which is later unmapped: the ancestors are walked again
# after the reparent, so the new parent's unmapping is seen.
start_host 400x300+100+80
start_app_with "$AEROLUME" --window-id "$HOST_WINDOW"
sky_fills 100 80 400 300
start_cover 600x500+700+500
xdotool windowreparent "$HOST_WINDOW" "$COVER_WINDOW"
drawing "reparented into a new parent"
xdotool windowunmap --sync "$COVER_WINDOW"
asleep "its new parent unmapped"
stop_app_with TERM
stop_cover
stop_host
# Only partly covered from the start: drawn where it shows.
start_host 400x300+100+80
start_cover 200x300+100+80
start_app_with "$AEROLUME" --window-id "$HOST_WINDOW"
sky_fills 300 80 200 300
stop_app_with TERM
stop_cover
stop_host

start_host 400x300+700+500
# As screen-saver hosts start their saver: -root, with their window in the variable.
start_app_with env XSCREENSAVER_WINDOW="$HOST_WINDOW" "$AEROLUME" -root
sky_fills 700 500 400 300
only_in_host_window
stop_app_with INT
# Without Wayland, --background is the X desktop, and the host's window stands in for it
# too.
start_app_with env -u WAYLAND_DISPLAY XSCREENSAVER_WINDOW="$HOST_WINDOW" "$AEROLUME" --background
sky_fills 700 500 400 300
only_in_host_window
stop_app_with TERM
# SIGUSR1 makes new clouds while it draws (seed 5's sky is cloudy there). It sleeps while
# the host's window is unmapped, SIGUSR1 leaves it asleep, and a signal still ends it at
# once.
start_app_with "$AEROLUME" --window-id "$HOST_WINDOW" --seed 5
sky_fills 700 500 400 300
grab "$WORK/clouds_before.png"
kill -USR1 "$APP_PID"
expect_clouds renewed "$WORK/clouds_before.png" "SIGUSR1 in the host's window" 700 500 400 300
xdotool windowunmap "$HOST_WINDOW"
asleep "the host's window unmapped"
kill -USR1 "$APP_PID"
asleep "the host's window unmapped, after SIGUSR1"
stop_app_with TERM
stop_host

expect_refusal --window-id 0x1ffffff0
expect_refusal --window-id 0x7ffffff0
start_host 300x200+0+0 no-depth
expect_refusal --window-id "$HOST_WINDOW"
grep -q 'depth buffer' "$WORK/refusal.err" || fail "the refusal does not name the depth buffer"
stop_host
# Larger than GL can draw: refused, never a crash; at the start, or once resized to it.
start_host 32767x32767+0+0
expect_refusal --window-id "$HOST_WINDOW"
xdotool windowsize --sync "$HOST_WINDOW" 400 300
start_app_with "$AEROLUME" --window-id "$HOST_WINDOW"
sky_fills 0 0 400 300
xdotool windowsize "$HOST_WINDOW" 32767 32767
wait_for_end "$APP_PID" 5 "a host window resized to 32767 x 32767"
[ "$STATUS" -eq 1 ] && [ "$(wc -l <"$WORK/app.err")" -eq 1 ] ||
  fail "a host window resized to 32767 x 32767: status $STATUS, $(cat "$WORK/app.err")"
note "a host window resized to 32767 x 32767: $(cat "$WORK/app.err")"
stop_host

# The root window, which the server never reports covered: asleep while one window
# covers the whole screen (an override-redirect one, as a lock screen's), drawing while a
# window covers only part of it, and drawing again once the covering window is gone,
# unmapped or shrunk. The root keeps its picture afterwards: the next case draws in a
# window on top.
start_app_with "$AEROLUME" --root
sky_fills 0 0 $SCREEN_W $SCREEN_H
while read -r geometry while_there then; do
  start_cover "$geometry" override
  case $while_there in
    asleep) asleep "the root under a ${geometry} window" ;;
    drawing) drawing "the root under a ${geometry} window" ;;
  esac
  case $then in
    gone) stop_cover ;;
    unmapped) xdotool windowunmap --sync "$COVER_WINDOW" ;;
    shrunk) xdotool windowsize --sync "$COVER_WINDOW" 1280 1000 ;;
  esac
  drawing "the root once the ${geometry} window is $then"
  [ "$then" = gone ] || stop_cover
done <<'ROOT_COVERS'
1280x1024+0+0 asleep gone
1280x1024+0+0 asleep unmapped
1280x1024+0+0 asleep shrunk
640x512+100+100 drawing gone
ROOT_COVERS
stop_app_with TERM

# Under a compositing manager a covered window may still show, and the server reports none
# as covered: a host window covered from the start is still drawn. What is drawn on the
# root is never seen there: --root is refused in one line that names --background.
if command -v xcompmgr >/dev/null 2>&1; then
  xcompmgr >"$WORK/xcompmgr.log" 2>&1 &
  XCOMPMGR_PID=$!
  wait_until 5 "$XPROBE" owned _NET_WM_CM_S0 ||
    fail "xcompmgr did not take the screen: $(cat "$WORK/xcompmgr.log")"
  # Drawn: three frames are swapped (the program is stopped there, and fails to stop if
  # it sleeps), and once its start is over it goes on drawing.
  start_host 400x300+100+80
  start_cover 600x500+50+50
  start_app_stopped "after glXSwapBuffers 3" --window-id "$HOST_WINDOW"
  kill -CONT "$APP_PID"
  drawing "covered from the start under a compositing manager"
  stop_app_with TERM
  stop_cover
  stop_host
  expect_refusal --root
  grep -q -- '--background' "$WORK/refusal.err" || fail "the refusal of --root names no --background"
  kill "$XCOMPMGR_PID"
  wait "$XCOMPMGR_PID" 2>/dev/null
else
  note "xcompmgr is not installed: the compositing manager cases are skipped"
fi

# Partial frames in the host's window: a frame draws only what moved (its share of the
# pixels on the --fps line well under 100), and the window shows the very picture a run
# of whole frames shows at the same frame (untimed runs of one seed hold the same scene
# frame by frame; each is stopped before it shows its 400th frame, the 399th on the
# screen), though a window over part of it came and went meanwhile (what it uncovered is
# drawn whole again); --full-frames draws every pixel, as before.
drawn_share() {
  start_app_with "$AEROLUME" --window-id "$HOST_WINDOW" --seed 5 --fps "$@"
  wait_until 20 grep -q 'pixels drawn' "$WORK/app.out" ||
    fail "no --fps line: $(cat "$WORK/app.out" "$WORK/app.err")"
  SHARE=$(awk '/pixels drawn/ {print $(NF-5); exit}' "$WORK/app.out")
  stop_app_with TERM
}
frame_shot() {
  local name=$1
  shift
  # A window over part of the host's for a second, some 150 frames before the stop.
  { sleep 3; "$HOST" 300x200+150+120 override 00ff00 >/dev/null & sleep 1; kill $!; } &
  local cover=$!
  start_app_stopped "before glXSwapBuffers 400" --window-id "$HOST_WINDOW" --seed 5 "$@"
  wait "$cover"
  grab "$WORK/$name.png"
  kill -CONT "$APP_PID"
  stop_app_with TERM
}
start_host 640x480+100+80
drawn_share
greater 50 "$SHARE" || fail "partial frames in the host's window draw $SHARE % of the pixels"
note "partial frames in the host's window: $SHARE % of the pixels drawn"
drawn_share --full-frames
[ "$SHARE" = 100.0 ] || fail "--full-frames in the host's window draws $SHARE % of the pixels"
frame_shot partial
frame_shot whole --full-frames
# Every pixel: the share alone rounds a few pixels to 0.
cmp -s "$WORK/partial.png" "$WORK/whole.png" ||
  fail "a partial frame differs from the whole frame on the screen (share of the host's" \
    "window: $(changed "$WORK/partial.png" "$WORK/whole.png" 100 80 640 480))"
stop_host

# The display connection is lost while drawing: the program ends quietly with status 0.
start_host 400x300+100+80
start_app_with "$AEROLUME" --window-id "$HOST_WINDOW"
sky_fills 100 80 400 300
kill "$XVFB_PID"
wait "$XVFB_PID" 2>/dev/null
expect_quiet_end "$APP_PID" 5 "losing the display"
echo "PASS"

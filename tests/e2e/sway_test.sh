#!/usr/bin/env bash
# Under the real sway (headless, drawn by pixman, as an unprivileged user), with grim for
# what each output shows: --background fills the output with the scene, a new output gets
# a surface of its own, a fullscreen window over it puts the program to sleep and its
# going wakes it; --overlay covers a window and ends with 0 on pointer motion and, in a
# second run, on a key; SIGTERM and sway going away end the program with 0 and no
# message. Under weston, which has no layer shell, --background ends with 1 and one line.
AEROLUME=$1
XPROBE=$2
VIRTUAL_POINTER=$3
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/sway_lib.sh"
needs_tools grim wtype weston weston-flower

# The share of output $1 in the sky colour, now.
sky_on() {
  rm -f "$RUN/shot.png"
  as_client grim -o "$1" "$RUN/shot.png" 2>/dev/null && "$XPROBE" sky "$RUN/shot.png"
}
# Waits until the scene fills most of output $1 ($2 says what it shows).
wait_for_scene() {
  wait_for_sky "sky_on $1" 0.5 "$2: too little of $1 in the sky colour"
  note "$2: sky share $SKY of $1"
}
grab_output() { as_client grim -o "$1" "$RUN/$2.png" && cp "$RUN/$2.png" "$WORK/$2.png"; }

# --- Without a compositor: --background is the X root window, --overlay has no place ---
start_xvfb
env -u WAYLAND_DISPLAY "$AEROLUME" --overlay >"$WORK/app.out" 2>"$WORK/app.err"
status=$?
[ "$status" -eq 1 ] && [ "$(wc -l <"$WORK/app.err")" -eq 1 ] &&
  grep -q "needs a Wayland compositor with the layer shell.*screen-saver hosts" "$WORK/app.err" ||
  fail "--overlay without a compositor: status $status, $(cat "$WORK/app.err")"
note "--overlay without a compositor: status 1, $(cat "$WORK/app.err")"
env -u WAYLAND_DISPLAY "$AEROLUME" --background >"$WORK/app.out" 2>"$WORK/app.err" &
APP_PID=$!
wait_for_sky screen_sky 0.5 "--background without a compositor does not draw on the root window"
xdotool search --name '^Aerolume$' >/dev/null && fail "--background without a compositor opened a window"
note "--background without a compositor draws on the X root window (sky share $SKY)"
kill -TERM "$APP_PID"
expect_quiet_end "$APP_PID" 10 "SIGTERM on the root window"
kill "$XVFB_PID" && wait "$XVFB_PID" 2>/dev/null
XVFB_PID=""

# --- The background ---
start_sway
started=$(date +%s%N)
start_program --background --fps
wait_for_scene HEADLESS-1 "the background"
note "first frame on the output within $((($(date +%s%N) - started) / 1000000)) ms"
note "at the default pace: $(cpu_share_over 5) of a core; $(tail -n 1 "$WORK/app.out")"

# A fullscreen window hides the background: sway sends no frame callbacks, so nothing is
# drawn and the program sleeps. Once the window goes, it draws again.
"${client[@]}" weston-flower >/dev/null 2>&1 &
HOST_PID=$!
# Asked until the window is there.
WAIT_STEP=0.2 wait_until 10 as_client swaymsg "[pid=$HOST_PID] fullscreen enable" >/dev/null 2>&1 ||
  fail "swaymsg could not make the window fullscreen"
sleep 0.5
share=$(cpu_share_over 5)
greater 0.01 "$share" || fail "under a fullscreen window the program still used $share of a core"
note "under a fullscreen window: $share of a core over 5 s"
stop_host
sleep 1
grab_output HEADLESS-1 before
sleep 1
grab_output HEADLESS-1 after
moved=$(changed "$WORK/before.png" "$WORK/after.png")
greater "$moved" 0 || fail "the background did not draw again once the fullscreen window went"
note "the window gone, the background draws again ($moved of the pixels changed in 1 s)"

# A new output gets a surface of its own.
as_client swaymsg create_output >/dev/null || fail "swaymsg create_output failed"
wait_for_scene HEADLESS-2 "the output added while running"

kill -TERM "$APP_PID"
expect_quiet_end "$APP_PID" 10 "SIGTERM"

# --output keeps to one output; sway going away ends the program too.
start_program --background --output HEADLESS-2
wait_for_scene HEADLESS-2 "--output HEADLESS-2"
sky=$(sky_on HEADLESS-1)
greater 0.1 "$sky" || fail "with --output HEADLESS-2, HEADLESS-1 shows the scene too (sky share $sky)"
stop_compositor
expect_quiet_end "$APP_PID" 10 "sway going away"

# --- The overlay: over a window, ended by the first motion, or by a key ---
# Headless sway has no input devices: a virtual pointer gives its seat one to move, and
# wtype a keyboard.
start_sway
"${client[@]}" "$VIRTUAL_POINTER" >"$WORK/pointer.out" 2>&1 &
POINTER_PID=$!
wait_until 5 grep -q ready "$WORK/pointer.out" || fail "no virtual pointer: $(cat "$WORK/pointer.out")"
for ending in motion key; do
  "${client[@]}" weston-flower >/dev/null 2>&1 &
  HOST_PID=$!
  sleep 1
  start_program --overlay
  wait_for_scene HEADLESS-1 "the overlay over a window"
  sleep 1
  app_running || fail "the overlay ended before any input: $(cat "$WORK/app.err")"
  if [ "$ending" = motion ]; then
    as_client swaymsg seat - cursor move 10 10 >/dev/null
  else
    # The keyboard is plugged in first and the key pressed a second later, once the
    # program has taken the seat's new keyboard.
    as_client wtype -s 1000 -k space
  fi
  expect_quiet_end "$APP_PID" 10 "a $ending over the overlay"
  stop_host
done
stop_compositor

# --- A compositor without the layer shell ---
"${user_env[@]}" "${as_user[@]}" weston --backend=headless-backend.so --socket=wayland-w \
  >"$WORK/weston.log" 2>&1 &
COMPOSITOR_PID=$!
wait_until 10 test -S "$RUN/wayland-w" || fail "weston did not start: $(cat "$WORK/weston.log")"
SOCKET=wayland-w
set_client
start_program --background
wait_for_end "$APP_PID" 20
[ "$STATUS" -eq 1 ] || fail "under weston --background ended with $STATUS, expected 1"
[ "$(wc -l <"$WORK/app.err")" -eq 1 ] && grep -q "no layer shell (zwlr_layer_shell_v1)" "$WORK/app.err" &&
  grep -q "XWayland" "$WORK/app.err" || fail "under weston the program wrote: $(cat "$WORK/app.err")"
note "under weston: status 1, $(cat "$WORK/app.err")"
stop_compositor
echo "PASS"

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
# Waits up to 30 s until the scene fills most of output $1 ($2 says what it shows).
wait_for_scene() {
  local sky=0
  for _ in $(seq 60); do
    sky=$(sky_on "$1")
    greater "${sky:-0}" 0.5 && break
    app_running || fail "the program ended: $(cat "$WORK/app.err")"
    sleep 0.5
  done
  greater "${sky:-0}" 0.5 || fail "$2: only ${sky:-no} share of $1 in the sky colour"
  note "$2: sky share $sky of $1"
}
# Checks that the program ended by itself within $1 s with status 0 and no message ($2
# says what ended it).
ended_quietly() {
  wait_app_exit "$1"
  [ "$APP_STATUS" -eq 0 ] || fail "$2 ended the program with status $APP_STATUS"
  [ -s "$WORK/app.err" ] && fail "$2: the program wrote: $(cat "$WORK/app.err")"
  note "$2 ended the program with status 0"
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
for _ in $(seq 40); do
  grab "$WORK/root.png"
  sky=$("$XPROBE" sky "$WORK/root.png")
  greater "$sky" 0.5 && break
  sleep 0.5
done
greater "$sky" 0.5 || fail "--background without a compositor does not draw on the root window ($sky)"
xdotool search --name '^Aerolume$' >/dev/null && fail "--background without a compositor opened a window"
note "--background without a compositor draws on the X root window (sky share $sky)"
kill -TERM "$APP_PID"
ended_quietly 10 "SIGTERM on the root window"
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
fullscreen=""
for _ in $(seq 50); do
  as_client swaymsg "[pid=$HOST_PID] fullscreen enable" >/dev/null 2>&1 && fullscreen=yes && break
  sleep 0.2
done
[ -n "$fullscreen" ] || fail "swaymsg could not make the window fullscreen"
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
ended_quietly 10 "SIGTERM"

# --output keeps to one output; sway going away ends the program too.
start_program --background --output HEADLESS-2
wait_for_scene HEADLESS-2 "--output HEADLESS-2"
sky=$(sky_on HEADLESS-1)
greater 0.1 "$sky" || fail "with --output HEADLESS-2, HEADLESS-1 shows the scene too (sky share $sky)"
stop_compositor
ended_quietly 10 "sway going away"

# --- The overlay: over a window, ended by the first motion, or by a key ---
# Headless sway has no input devices: a virtual pointer gives its seat one to move, and
# wtype a keyboard.
start_sway
"${client[@]}" "$VIRTUAL_POINTER" >"$WORK/pointer.out" 2>&1 &
POINTER_PID=$!
for _ in $(seq 50); do
  grep -q ready "$WORK/pointer.out" && break
  sleep 0.1
done
grep -q ready "$WORK/pointer.out" || fail "no virtual pointer: $(cat "$WORK/pointer.out")"
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
  ended_quietly 10 "a $ending over the overlay"
  stop_host
done
stop_compositor

# --- A compositor without the layer shell ---
"${user_env[@]}" "${as_user[@]}" weston --backend=headless-backend.so --socket=wayland-w \
  >"$WORK/weston.log" 2>&1 &
COMPOSITOR_PID=$!
for _ in $(seq 100); do
  [ -S "$RUN/wayland-w" ] && break
  sleep 0.1
done
[ -S "$RUN/wayland-w" ] || fail "weston did not start: $(cat "$WORK/weston.log")"
SOCKET=wayland-w
set_client
start_program --background
wait_app_exit 20
[ "$APP_STATUS" -eq 1 ] || fail "under weston --background ended with $APP_STATUS, expected 1"
[ "$(wc -l <"$WORK/app.err")" -eq 1 ] && grep -q "no layer shell (zwlr_layer_shell_v1)" "$WORK/app.err" &&
  grep -q "XWayland" "$WORK/app.err" || fail "under weston the program wrote: $(cat "$WORK/app.err")"
note "under weston: status 1, $(cat "$WORK/app.err")"
stop_compositor
echo "PASS"

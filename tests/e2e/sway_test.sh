#!/usr/bin/env bash
# Under the real sway (headless, drawn by pixman, as an unprivileged user), with grim for
# what each output shows: --background fills the output with the scene, a new output gets
# a surface of its own, a fullscreen window over it puts the program to sleep and its
# going wakes it (and the pause is no part of a timed step); at output scale 2, set
# while it runs, the buffer has the output's pixels; SIGUSR1 renews the clouds and the
# same process draws on; at 144 Hz, a mode set while it runs, a frame comes on every 5th
# frame callback, the swaps as even as the callbacks; an --output that names no output is said aloud and
# drawn once it comes; --overlay covers a window and ends with 0 on pointer motion, a
# key or a scroll, a second one ends at once while one shows, and swayidle's line from
# the README starts it after the idle time without holding back its other timeouts;
# SIGTERM and sway going away end the program with 0 and no message. A compositor that
# closes the connection, posts an error or does not answer before the first frame, and
# weston, which has no layer shell, end it with 1 and one line. --shell-windows makes one
# window per output, as large as the output and following its mode.
AEROLUME=$1
XPROBE=$2
VIRTUAL_POINTER=$3
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/sway_lib.sh"
needs_tools grim wtype weston weston-flower swayidle nm /usr/bin/python3
INTERVALS=$(dirname "$0")/swap_intervals.py

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
wait_for_sky screen_sky 0.5 "--background without a compositor does not draw the X desktop"
# Its desktop windows are named "aerolume"; the own window's title is "Aerolume".
for w in $(xdotool search --name '^aerolume$'); do
  [ "$(xdotool getwindowname "$w")" = Aerolume ] && fail "--background without a compositor opened its own window"
done
note "--background without a compositor draws the X desktop background (sky share $SKY)"
kill -TERM "$APP_PID"
expect_quiet_end "$APP_PID" 10 "SIGTERM on the X desktop"
kill "$XVFB_PID" && wait "$XVFB_PID" 2>/dev/null
XVFB_PID=""

# --- A compositor that fails before the first frame: status 1 and one line naming it ---
# A socket of our own stands in for it: it closes the connection at once, posts the
# display's own error (invalid_method, which libwayland reports as EINVAL), or never
# answers. A WAYLAND_DISPLAY too long for a socket's name is refused by libwayland.
fake_compositor() {
  /usr/bin/python3 - "$1" "$2" <<'PY' &
import socket, struct, sys, time
mode, path = sys.argv[1], sys.argv[2]
server = socket.socket(socket.AF_UNIX)
server.bind(path)
server.listen(1)
client, _ = server.accept()
if mode == "error":
    client.recv(4096)
    text = b"no such request\0"
    body = struct.pack("=III", 1, 1, len(text)) + text + b"\0" * (-len(text) % 4)
    client.sendall(struct.pack("=II", 1, (8 + len(body)) << 16) + body)
    time.sleep(20)
elif mode == "silent":
    time.sleep(20)
client.close()
PY
  FAKE_PID=$!
  wait_until 5 test -S "$2" || fail "the stand-in compositor did not start"
}
mkdir -m 0700 "$WORK/fake"
long=$(printf 'w%.0s' $(seq 300))
while read -r mode display expected; do
  [ "$mode" = none ] || { rm -f "$WORK/fake/$display"; fake_compositor "$mode" "$WORK/fake/$display"; }
  started=$(date +%s%N)
  env XDG_RUNTIME_DIR="$WORK/fake" WAYLAND_DISPLAY="$display" timeout 20 "$AEROLUME" --background \
    >"$WORK/app.out" 2>"$WORK/app.err"
  status=$?
  took=$((($(date +%s%N) - started) / 1000000))
  [ "$mode" = none ] || { kill "$FAKE_PID" 2>/dev/null; wait "$FAKE_PID" 2>/dev/null; }
  [ "$status" -eq 1 ] && [ "$(wc -l <"$WORK/app.err")" -eq 1 ] &&
    grep -q "^aerolume: .*$expected" "$WORK/app.err" ||
    fail "a compositor that does $mode: status $status, $(cat "$WORK/app.err")"
  note "a compositor that does $mode: status 1 within $took ms, $(cut -c 1-160 "$WORK/app.err")"
done <<ROWS
close  fake  compositor "fake" closed the connection before anything was shown
error  fake  compositor "fake" refused a request (wl_display error 1).*no such request
silent fake  compositor "fake" did not answer within 5 seconds
none   $long cannot connect to the Wayland compositor
ROWS

# --- The background ---
start_sway
# At output scale 2 the buffer has twice the surface's size and the surface says so
# (set_buffer_scale), so that the sky fills the output at its full resolution; libwayland
# logs the requests (WAYLAND_DEBUG). The scale changes while the program runs: the
# buffers follow it and nothing ends. Then SIGUSR1 renews the clouds: the same process
# goes on drawing, and the picture changes far more than the balloons alone change it.
"${client[@]}" env WAYLAND_DEBUG=1 "$AEROLUME" --background --max-fps 5 >"$WORK/app.out" \
  2>"$WORK/app.err" &
APP_PID=$!
wait_for_scene HEADLESS-1 "the background at scale 1"
mark=$(wc -l <"$WORK/app.err")
as_client swaymsg output HEADLESS-1 scale 2 >/dev/null || fail "swaymsg could not set the scale"
WAIT_STEP=0.2 wait_until 10 eval 'tail -n +$mark "$WORK/app.err" | grep -q "set_buffer_scale(2)"'
sleep 1
wait_for_scene HEADLESS-1 "the background after the scale went to 2"
since_scale=$(tail -n +"$mark" "$WORK/app.err")
surface=$(grep -m 1 -o 'zwlr_layer_surface_v1@[0-9]*\.configure([0-9]*, [1-9][0-9]*, [0-9]*)' <<<"$since_scale" |
  sed 's/.*(\([0-9]*\), \([0-9]*\), \([0-9]*\))/\2x\3/')
buffers=$(grep -o 'create_buffer(new id wl_buffer@[0-9]*, [0-9]*, [0-9]*, [0-9]*' <<<"$since_scale" |
  awk -F', ' '{print $3 "x" $4}' | sort -u | tr '\n' ' ')
[ "$surface" = $((SCREEN_W / 2))x$((SCREEN_H / 2)) ] && grep -q 'set_buffer_scale(2)' <<<"$since_scale" &&
  ! grep -q 'set_buffer_scale(1)' <<<"$since_scale" &&
  { [ -z "$buffers" ] || [ "$buffers" = "${SCREEN_W}x$SCREEN_H " ]; } ||
  fail "after scale 2: surface ${surface:-none}, buffers made ${buffers:-none}, $(grep -c 'set_buffer_scale(2)' <<<"$since_scale") buffer scales of 2"
note "the scale 2 mid-run: surface $surface, buffers ${buffers:-kept at ${SCREEN_W}x$SCREEN_H}, buffer scale 2"
# SIGUSR1: the balloons alone change the picture little between two grabs a second
# apart; new clouds change much of the sky.
grab_output HEADLESS-1 still1
sleep 1
grab_output HEADLESS-1 still2
still=$(changed "$WORK/still1.png" "$WORK/still2.png")
kill -USR1 "$APP_PID"
sleep 1
app_running || fail "SIGUSR1 ended the program: $(tail -n 3 "$WORK/app.err")"
grab_output HEADLESS-1 renewed
renewed=$(changed "$WORK/still2.png" "$WORK/renewed.png")
greater "$renewed" "$(awk -v b="$still" 'BEGIN { print 3 * b + 0.03 }')" ||
  fail "SIGUSR1 did not renew the clouds (change $renewed against $still without it)"
sleep 1
grab_output HEADLESS-1 renewed2
moved=$(changed "$WORK/renewed.png" "$WORK/renewed2.png")
greater "$moved" 0 || fail "the background stopped drawing after SIGUSR1"
note "SIGUSR1: the same process, change $renewed against $still without it, drawing on ($moved)"
kill -TERM "$APP_PID"
wait_for_end "$APP_PID" 10 "SIGTERM at scale 2"
as_client swaymsg output HEADLESS-1 scale 1 >/dev/null

# The pace divides the refresh: at 60 Hz and then at 144 Hz (the mode changed while the
# program runs), a new frame on every k-th frame callback (k = 5 at 144 Hz under the pace
# of 30; a refresh whose callback came late, while a frame was drawn, counts too), each
# frame swapped as its k-th comes, so that the swaps are as even as the compositor's
# callbacks (how even those are on a busy machine is sway's; bench/wayland-pace reports
# the intervals). A small mode, so that llvmpipe
# draws a frame well within the 6 ms between callbacks.
pace_mode() { as_client swaymsg -- output HEADLESS-1 mode --custom "320x256@${1}Hz" >/dev/null; }
pace_mode 60 || fail "swaymsg could not set a custom mode"
start_user_session_bus
"${client[@]}" env WAYLAND_DEBUG=1 "$AEROLUME" --background >"$WORK/app.out" 2>"$WORK/app.err" &
APP_PID=$!
wait_for_scene HEADLESS-1 "the background at 60 Hz"
pace_mode 144
sleep 1
mark=$(wc -l <"$WORK/app.err")
sleep 5
app_running || fail "the program ended at 144 Hz: $(tail -n 3 "$WORK/app.err")"
tail -n +"$mark" "$WORK/app.err" >"$WORK/at144.log"
read -r _ _ _ _ fps _ median _ _ _ _ _ period _ k _ within _ prompt _ kmedian < <("$INTERVALS" "$WORK/at144.log")
# (A frame whose callback the drawing held up swaps once drawn, later than 1 ms: on a
# busy machine a few do.)
[ "${kmedian:-}" = 5 ] && greater "$prompt" 0.9 ||
  fail "at 144 Hz: callbacks between swaps ${k:-none} (median ${kmedian:-none}, 5 expected), ${prompt:-no} of the swaps within 1 ms of a callback"
note "at 144 Hz: callbacks between swaps $k (median $kmedian), ${prompt} of the swaps within 1 ms of a callback; median interval $median ms, $within within 1 ms of 5 x $period ms, $fps frames/s"
kill -TERM "$APP_PID"
wait_for_end "$APP_PID" 10 "SIGTERM at 144 Hz"
as_client swaymsg -- output HEADLESS-1 mode --custom "${SCREEN_W}x${SCREEN_H}@60Hz" >/dev/null

started=$(date +%s%N)
start_program --background --fps --timed
wait_for_scene HEADLESS-1 "the background"
note "first frame on the output within $((($(date +%s%N) - started) / 1000000)) ms"
note "at the default pace: $(cpu_share_over 5) of a core; $(tail -n 1 "$WORK/app.out")"

# A fullscreen window hides the background: sway sends no frame callbacks, so nothing is
# drawn and the program sleeps. Once the window goes, it draws again.
as_client swaymsg -- output HEADLESS-1 mode --custom 640x512@60Hz >/dev/null
"${client[@]}" weston-flower >/dev/null 2>&1 &
HOST_PID=$!
# Asked until the window is there.
WAIT_STEP=0.2 wait_until 10 as_client swaymsg "[pid=$HOST_PID] fullscreen enable" >/dev/null 2>&1 ||
  fail "swaymsg could not make the window fullscreen"
sleep 0.5
share=$(cpu_share_over 5)
greater "$ASLEEP_CEILING" "$share" || fail "under a fullscreen window the program still used $share of a core"
note "under a fullscreen window: $share of a core over 5 s"
expect_status "  HEADLESS-1 640x512 asleep: the compositor does not show it (covered, or the output is off)" \
  "under a fullscreen window"
# The pause is no part of a timed step: at the pace of 30 each step is the largest (0.4,
# a frame interval of 33 ms), and the first step after the pause is measured over its own
# scene pass, so the balloons rise by the mean of the two, not by another 0.4 for the
# seconds hidden. The step is read from the program's memory while the window goes. A
# small mode keeps the scene pass well under 33 ms.
watch_step 3
stop_host
read_steps
greater "$STEP_BEFORE" 0.35 && greater 0.3 "$STEP_LEAST" ||
  fail "the step after 5 s hidden: ${STEP_LEAST:-none} from ${STEP_BEFORE:-none} (the pause counted in the step)"
note "the first timed step after 5 s hidden: the step went from $STEP_BEFORE to $STEP_LEAST, a scene pass's"
as_client swaymsg -- output HEADLESS-1 mode --custom "${SCREEN_W}x${SCREEN_H}@60Hz" >/dev/null
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

# --shell-windows (what GNOME's extension starts): a window on each output, named for the
# extension, as large as its output whatever the tiling suggests, following its mode.
start_program --background --shell-windows
expect_status "  HEADLESS-1 ${SCREEN_W}x${SCREEN_H} drawn" "a window on each output"
windows=$(as_client swaymsg -t get_tree | grep -c '"app_id": "io.github.aerolume.Aerolume.Background"')
[ "$windows" = 2 ] || fail "--shell-windows on two outputs made $windows windows"
as_client swaymsg -- output HEADLESS-1 mode --custom 640x512@60Hz >/dev/null
expect_status "  HEADLESS-1 640x512 drawn" "the output's mode changed under its window"
as_client swaymsg -- output HEADLESS-1 mode --custom "${SCREEN_W}x${SCREEN_H}@60Hz" >/dev/null
kill -TERM "$APP_PID"
expect_quiet_end "$APP_PID" 10 "SIGTERM to the windows"

# --output naming no output says so, waits, and draws once the output comes; it keeps to
# that output; sway going away ends the program too.
start_program --background --output HEADLESS-3
wait_until 5 test -s "$WORK/app.err"
line="aerolume: no output named HEADLESS-3 (outputs: HEADLESS-1, HEADLESS-2); waiting for it"
[ "$(cat "$WORK/app.err")" = "$line" ] || fail "--output HEADLESS-3 before it exists wrote: $(cat "$WORK/app.err")"
app_running || fail "--output HEADLESS-3 did not wait for the output"
note "--output HEADLESS-3 before it exists: $line"
: >"$WORK/app.err"
as_client swaymsg create_output >/dev/null || fail "swaymsg create_output failed"
wait_for_scene HEADLESS-3 "--output HEADLESS-3 once it exists"
sky=$(sky_on HEADLESS-1)
greater 0.1 "$sky" || fail "with --output HEADLESS-3, HEADLESS-1 shows the scene too (sky share $sky)"
stop_compositor
expect_quiet_end "$APP_PID" 10 "sway going away"

# --- The overlay: over a window, ended by the first motion, or by a key ---
# Headless sway has no input devices: a virtual pointer gives its seat one to move, and
# wtype a keyboard.
start_sway
"${client[@]}" "$VIRTUAL_POINTER" >"$WORK/pointer.out" 2>&1 &
POINTER_PID=$!
wait_until 5 grep -q ready "$WORK/pointer.out" || fail "no virtual pointer: $(cat "$WORK/pointer.out")"
for ending in motion key scroll; do
  "${client[@]}" weston-flower >/dev/null 2>&1 &
  HOST_PID=$!
  sleep 1
  start_program --overlay
  wait_for_scene HEADLESS-1 "the overlay over a window"
  sleep 1
  app_running || fail "the overlay ended before any input: $(cat "$WORK/app.err")"
  if [ "$ending" = motion ]; then
    as_client swaymsg seat - cursor move 10 10 >/dev/null
  elif [ "$ending" = key ]; then
    # The keyboard is plugged in first and the key pressed a second later, once the
    # program has taken the seat's new keyboard.
    as_client wtype -s 1000 -k space
  else
    as_client "$VIRTUAL_POINTER" scroll
  fi
  expect_quiet_end "$APP_PID" 10 "a $ending over the overlay"
  stop_host
done

# One overlay at a time: a second one ends at once with 0 and draws nothing, a background
# is not held back, and an overlay killed leaves the next one free to show.
start_program --overlay
wait_for_scene HEADLESS-1 "the first overlay"
timeout 10 "${client[@]}" "$AEROLUME" --overlay >"$WORK/second.out" 2>"$WORK/second.err"
status=$?
[ "$status" -eq 0 ] && [ ! -s "$WORK/second.err" ] ||
  fail "a second overlay: status $status, $(cat "$WORK/second.err")"
note "a second overlay while one shows ends at once with status 0"
"${client[@]}" "$AEROLUME" --background >"$WORK/background.out" 2>"$WORK/background.err" &
BACKGROUND_PID=$!
sleep 2
kill -0 "$BACKGROUND_PID" 2>/dev/null || fail "a background beside the overlay ended: $(cat "$WORK/background.err")"
kill "$BACKGROUND_PID" && wait "$BACKGROUND_PID"
kill -KILL "$APP_PID" && wait "$APP_PID" 2>/dev/null
start_program --overlay
wait_for_scene HEADLESS-1 "an overlay after the last one was killed"
as_client swaymsg seat - cursor move 10 10 >/dev/null
expect_quiet_end "$APP_PID" 10 "a motion over the overlay after a killed one"

# The README's swayidle line, with short timeouts: no -w, so that swayidle goes on
# reading events while the overlay shows, and the screens going off beside it happen on
# time. The overlay starts after the idle time, a scroll ends it (and turns the screens
# on again), the next idle period starts it again, a key ends it, and never do two show
# at once. The overlay's command is a script that logs each overlay's start and end.
cat >"$RUN/overlay" <<SCRIPT
#!/bin/sh
echo "start \$(date +%s%N)" >>"$RUN/overlays"
"$AEROLUME" --overlay 2>>"$RUN/overlay.err"
echo "end \$(date +%s%N) \$?" >>"$RUN/overlays"
SCRIPT
chmod 0755 "$RUN/overlay"
chown "$user" "$RUN/overlay"
idle_s=2 off_s=15
ms_since() { echo $((($(date +%s%N) - $1) / 1000000)); }
# Waits until overlay $1 (counted from 1) shows on HEADLESS-1; prints the ms since $2.
overlay_shows() {
  [ "$(cat "$RUN/overlays" 2>/dev/null | grep -c start)" -ge "$1" ] && greater "$(sky_on HEADLESS-1)" 0.5
}
wait_for_overlay() {
  wait_until 10 overlay_shows "$1" ||
    fail "overlay $1 did not show: $(cat "$RUN/overlays" "$RUN/overlay.err" "$WORK/swayidle.log" 2>/dev/null)"
  ms_since "$2"
}
# Waits until overlay $1 has ended with 0; prints the ms since $2.
overlay_ended() { [ "$(grep -c '^end .* 0$' "$RUN/overlays")" -ge "$1" ]; }
wait_for_overlay_end() {
  WAIT_STEP=0.05 wait_until 10 overlay_ended "$1" ||
    fail "overlay $1 did not end: $(cat "$RUN/overlays" "$RUN/overlay.err")"
  ms_since "$2"
}
# -d: swayidle logs each command as it runs it.
"${client[@]}" swayidle -d timeout $idle_s "$RUN/overlay" \
  timeout $off_s 'swaymsg "output * dpms off"' resume 'swaymsg "output * dpms on"' \
  >"$WORK/swayidle.log" 2>&1 &
SWAYIDLE_PID=$!
idle_from=$(date +%s%N)
# When the screens go off: the moment swayidle logs that it runs their command.
{ WAIT_STEP=0.05 wait_until 20 grep -q 'Cmd exec swaymsg "output \* dpms off"' "$WORK/swayidle.log" &&
  date +%s%N >"$WORK/off"; } &
shown=$(wait_for_overlay 1 "$idle_from")
ran=$((($(awk '$1 == "start" { print $2; exit }' "$RUN/overlays") - idle_from) / 1000000))
note "swayidle: the overlay starts $ran ms and shows $shown ms after the idle period began (timeout $idle_s s)"
WAIT_STEP=1 wait_until $((off_s + 5)) test -s "$WORK/off"
off=$([ -s "$WORK/off" ] && echo $((($(cat "$WORK/off") - idle_from) / 1000000)))
[ -n "$off" ] && [ "$off" -lt $((off_s * 1000 + 1000)) ] ||
  fail "the screens did not go off within $((off_s + 1)) s of idle time beside the overlay (${off:-never})"
[ "$(grep -c start "$RUN/overlays")" -eq 1 ] && ! grep -q end "$RUN/overlays" ||
  fail "the overlay did not show through the screens going off: $(cat "$RUN/overlays")"
note "swayidle: the screens went off $off ms after the idle period began (timeout $off_s s), the overlay showing"
input=$(date +%s%N)
as_client "$VIRTUAL_POINTER" scroll
note "swayidle: a scroll ended the overlay in $(wait_for_overlay_end 1 "$input") ms"
note "swayidle: the overlay shows again $(wait_for_overlay 2 "$input") ms after the scroll"
# wtype plugs its keyboard in a second before the key.
input=$(($(date +%s%N) + 1000000000))
as_client wtype -s 1000 -k space
note "swayidle: a key ended the overlay in $(wait_for_overlay_end 2 "$input") ms"
wait_for_overlay 3 "$input" >/dev/null
kill "$SWAYIDLE_PID" && wait "$SWAYIDLE_PID" 2>/dev/null
as_client swaymsg seat - cursor move 10 10 >/dev/null
wait_for_overlay_end 3 "$input" >/dev/null
awk '$1 == "start" && open { bad = 1 } $1 == "start" { open = 1 } $1 == "end" { open = 0 }
     END { exit bad }' "$RUN/overlays" || fail "two overlays showed at once: $(cat "$RUN/overlays")"
[ ! -s "$RUN/overlay.err" ] || fail "the overlays wrote: $(cat "$RUN/overlay.err")"
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

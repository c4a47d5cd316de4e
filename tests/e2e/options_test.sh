#!/usr/bin/env bash
# The program's options as a person uses them on a real X screen: --windowed opens the
# 1024 x 768 window, GLUT's -geometry sizes and places it as in any GLUT program, a window
# larger than GL can draw never crashes, a context the server refuses is one line, --fps prints the frame rate, a
# --max-fps cap holds the rate and costs less CPU than no cap, bad options (GLUT's
# window options in another program's window, a bad XSCREENSAVER_WINDOW among them) end
# at once with status 2 and one line, before any window opens, and the DISPLAY hint comes
# only where there is no display to open.
AEROLUME=$1
XPROBE=$2
source "$(dirname "$0")/lib.sh"

start_xvfb

# Bad options (and a screen-saver variable that names no window, written first): the
# problem and the hint on stderr, status 2, and no window.
# Without Wayland, --background is the X desktop, whose windows are its own (--samples and
# --output go with it), but the screen-saver variable's window stands in for it.
for args in "--seed x" "--max-fps 1001" "--windowed --root" "--bogus" "-geometry" \
            "-iconic --root" "XSCREENSAVER_WINDOW=junk" \
            "XSCREENSAVER_WINDOW=0x600002 WAYLAND_DISPLAY= --background --samples 4" \
            "XSCREENSAVER_WINDOW=0x600002 WAYLAND_DISPLAY= --background --output DP-1" \
            "WAYLAND_DISPLAY= -iconic --background" "-geometry 640x0" "-geometry +5"; do
  status=0
  variables=() options=()
  for word in $args; do
    if [[ $word == [A-Z]*=* ]]; then variables+=("$word"); else options+=("$word"); fi
  done
  # (A line that is wrongly accepted starts the scene: the timeout ends it with 124.)
  timeout 10 env "${variables[@]}" "$AEROLUME" "${options[@]}" >"$WORK/bad.out" \
    2>"$WORK/bad.err" || status=$?
  [ "$status" -eq 2 ] || fail "aerolume $args ended with status $status, expected 2"
  [ "$(wc -l <"$WORK/bad.err")" -eq 2 ] || fail "aerolume $args: expected a problem and a hint: $(cat "$WORK/bad.err")"
  grep -q "^aerolume: " "$WORK/bad.err" || fail "aerolume $args: $(cat "$WORK/bad.err")"
  [ ! -s "$WORK/bad.out" ] || fail "aerolume $args printed on stdout"
done
xdotool search --name '^Aerolume$' >/dev/null 2>&1 && fail "a bad option left a window open"
note "bad options: status 2, problem and hint, no window"

# The hint about DISPLAY comes only where the display cannot be opened; a display
# without GLX (a second Xvfb) is reachable, and its line says what it lacks instead.
status=0
DISPLAY=:9876 "$AEROLUME" >"$WORK/bad.out" 2>"$WORK/bad.err" || status=$?
[ "$status" -eq 1 ] && [ "$(cat "$WORK/bad.err")" = "aerolume: cannot start the window: failed \
to open display ':9876' (is a graphical display available and DISPLAY set?)" ] ||
  fail "no display: status $status, $(cat "$WORK/bad.err")"
start_xvfb -screen 0 320x240x24 -extension GLX
status=0
DISPLAY=$XVFB_DISPLAY "$AEROLUME" >"$WORK/bad.out" 2>"$WORK/bad.err" || status=$?
kill "$XVFB_PID"
[ "$status" -eq 1 ] && [ "$(wc -l <"$WORK/bad.err")" -eq 1 ] &&
  grep -q "GLX" "$WORK/bad.err" && ! grep -q "DISPLAY" "$WORK/bad.err" ||
  fail "a display without GLX: status $status, $(cat "$WORK/bad.err")"
note "no display: the DISPLAY hint; a display without GLX: its own line, no hint"
# A context the server refuses (Xvfb allows no indirect GLX): one line, status 1.
status=0
timeout 20 "$AEROLUME" -indirect >"$WORK/bad.out" 2>"$WORK/bad.err" || status=$?
[ "$status" -eq 1 ] && [ "$(wc -l <"$WORK/bad.err")" -eq 1 ] && grep -q "^aerolume: " "$WORK/bad.err" ||
  fail "-indirect refused by the server: status $status, $(cat "$WORK/bad.err")"
note "-indirect refused by the server: $(cat "$WORK/bad.err")"
# On X, --output names a RandR monitor: one that the screen lacks is one line, status 1,
# with the monitors it has.
status=0
timeout 20 env -u WAYLAND_DISPLAY "$AEROLUME" --background --output NOPE >"$WORK/bad.out" \
  2>"$WORK/bad.err" || status=$?
[ "$status" -eq 1 ] && [ "$(wc -l <"$WORK/bad.err")" -eq 1 ] &&
  grep -q '^aerolume: there is no monitor named "NOPE"' "$WORK/bad.err" ||
  fail "--background --output NOPE: status $status, $(cat "$WORK/bad.err")"
note "--output NOPE on X: $(cat "$WORK/bad.err")"

stop_app() {
  kill "$APP_PID" 2>/dev/null
  wait "$APP_PID" 2>/dev/null
  APP_PID=""
}

# --windowed: the 1024 x 768 window, with the frame-rate line and no cap.
start_app --windowed --fps --seed 3
wait_window_size 1024 768
note "--windowed opened 1024 x 768"
sleep 1
uncapped=$(cpu_share_over 5)
stop_app

# --max-fps 30 for a little over 10 s: two lines of the frame rate.
start_app --windowed --fps --max-fps 30 --seed 3
wait_window_size 1024 768
sleep 1
capped=$(cpu_share_over 5)
wait_until 15 eval '[ "$(grep -c . "$WORK/app.out")" -ge 2 ]'
stop_app
lines=$(grep -c . "$WORK/app.out")
[ "$lines" -ge 2 ] || fail "expected two frame-rate lines in 10 s, got: $(cat "$WORK/app.out")"
grep -vqE '^[0-9]+ frames in [0-9]+\.[0-9] seconds = [0-9]+\.[0-9] FPS, [0-9]+\.[0-9] % of the pixels drawn$' "$WORK/app.out" &&
  fail "a frame-rate line is malformed: $(cat "$WORK/app.out")"
rate=$(head -n 2 "$WORK/app.out" | awk '{ f += $1; s += $4 } END { printf "%.1f\n", f / s }')
note "--max-fps 30: $rate frames a second over two lines; CPU $capped capped, $uncapped uncapped"
awk -v r="$rate" 'BEGIN { exit !(r >= 27 && r <= 33) }' || fail "capped at 30, the rate was $rate"
awk -v c="$capped" -v u="$uncapped" 'BEGIN { exit !(c < 0.6 * u) }' ||
  fail "the cap did not lower the CPU use clearly ($capped against $uncapped)"

# GLUT's -geometry as GLUT programs take it: with --windowed a size, a place or both
# (the missing half from --windowed's 1024 x 768 at 10,30; '-' from the screen's far
# edges); and without our options the window still goes full screen as always.
while read -r geometry place; do
  start_app -geometry "$geometry" --windowed
  wait_window_place $place
  note "-geometry $geometry with --windowed: $place (X Y W H)"
  stop_app
done <<'PLACES'
640x480+20+40 20 40 640 480
+100+100 100 100 1024 768
-0-0 256 256 1024 768
800x 10 30 800 768
x600 10 30 1024 600
1500x100-0+0 -220 0 1500 100
PLACES
# Larger than GL can draw, never a crash: asked for, one line and status 1; made so by
# another client, back to the largest size GL can draw.
status=0
timeout 20 "$AEROLUME" -geometry 32767x32767 --windowed >"$WORK/bad.out" 2>"$WORK/bad.err" || status=$?
[ "$status" -eq 1 ] && [ "$(wc -l <"$WORK/bad.err")" -eq 1 ] ||
  fail "-geometry 32767x32767: status $status, $(cat "$WORK/bad.err")"
note "-geometry 32767x32767: $(cat "$WORK/bad.err")"
start_app --windowed
xdotool windowsize "$WINDOW" 32767 32767
sleep 3
app_running || fail "resized to 32767 x 32767: the program ended: $(cat "$WORK/app.err")"
read -r width height <<<"$(window_size)"
[ "$width" -lt 32767 ] && [ "$height" -lt 32767 ] && [ "$width" -ge 1024 ] ||
  fail "resized to 32767 x 32767: the window is $width x $height"
note "resized to 32767 x 32767: back to $width x $height"
stop_app
start_app -geometry 640x480+20+40
wait_window_size $SCREEN_W $SCREEN_H
note "-geometry alone: full screen as before"
stop_app
echo "PASS"

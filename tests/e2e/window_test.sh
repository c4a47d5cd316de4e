#!/usr/bin/env bash
# The real window under Xvfb: it opens titled "Aerolume", covers the whole screen (exactly,
# with no window manager, after F1 presses too), and what a person sees is the sky.
# Minimized (unmapped) or covered by another window it stops drawing and uses next to no
# CPU, and draws again once seen. SIGUSR1 (blocked when it starts, too) makes new clouds
# as the c key does, asleep too (they show once seen), and is dropped before the first
# frame, which shows the seeded sky. SIGTERM (while it starts too) and SIGINT end it with
# status 0, and so do losing the display and the window destroyed or its connection
# killed by another client, all without a word on stderr.
AEROLUME=$1
XPROBE=$2
HOST=${3:-}
STOP_LIB=${4:-}
source "$(dirname "$0")/lib.sh"
start_session_bus

# Seeded, so that a later start's clouds can be compared with these. Started with SIGUSR1
# blocked, as a host may leave it: the program unblocks it, so the rows below see it.
cat >"$WORK/usr1_blocked" <<EOF
#!/usr/bin/python3
import os, signal, sys
signal.pthread_sigmask(signal.SIG_BLOCK, [signal.SIGUSR1])
os.execv("$AEROLUME", ["$AEROLUME"] + sys.argv[1:])
EOF
chmod +x "$WORK/usr1_blocked"
AEROLUME="$WORK/usr1_blocked" open_fullscreen_window --seed 5
grab "$WORK/seeded.png"
# No window manager here: the full-screen window covers the screen exactly, from the start
# and after any number of F1 presses.
wait_window_place 0 0 $SCREEN_W $SCREEN_H
for place in "10 30 1024 768" "0 0 $SCREEN_W $SCREEN_H" "10 30 1024 768" "0 0 $SCREEN_W $SCREEN_H"; do
  xdotool key --window "$WINDOW" F1
  wait_window_place $place
done
note "full screen on a bare server: exactly the screen, after F1 four times too"
# Named as aerolume.desktop expects, so that a taskbar or dock shows its name and icon.
names=$(xprop -id "$WINDOW" WM_CLASS _NET_WM_PID)
[ "$names" = "WM_CLASS(STRING) = \"aerolume\", \"Aerolume\"
_NET_WM_PID(CARDINAL) = $APP_PID" ] || fail "the window's class and process are not named: $names"
grep -qx "StartupWMClass=Aerolume" "$(dirname "$0")/../../data/aerolume.desktop" ||
  fail "the desktop entry names no StartupWMClass=Aerolume"
sleep 1
grab "$WORK/screen.png"
sky=$("$XPROBE" sky "$WORK/screen.png")
note "sky-coloured share of the screen: $sky"
greater "$sky" 0.25 || fail "the screen does not show the sky colour (share $sky)"
app_running || fail "the program ended by itself: $(cat "$WORK/app.err")"

# Awake again once seen.
awake() {
  local share
  share=$(cpu_share_over 2)
  greater "$share" 0.1 || fail "$1, the program did not draw again ($share of a core)"
  note "$1: drawing again"
}
grab "$WORK/clouds_before.png"
kill -USR1 "$APP_PID"
expect_clouds renewed "$WORK/clouds_before.png" "SIGUSR1 while drawing"
cp "$WORK/clouds.png" "$WORK/clouds_before.png"
xdotool windowunmap "$WINDOW"
asleep "minimized"
kill -USR1 "$APP_PID"
asleep "minimized, after SIGUSR1"
xdotool windowmap "$WINDOW"
awake "shown again"
expect_clouds renewed "$WORK/clouds_before.png" "shown again after SIGUSR1 while minimized"
start_host "${SCREEN_W}x${SCREEN_H}+0+0"
asleep "covered by another window"
stop_host
awake "uncovered"

# Paused from outside (GLUT's loop waits on nothing of ours: the bus is served there too):
# no frames and the last picture left, the status says why; resumed, it draws again with
# the same clouds. A new scene asked there renews them as SIGUSR1 does.
expect_status "  window ${SCREEN_W}x${SCREEN_H} drawn" "drawing"
grab "$WORK/clouds_before.png"
control pause || fail "aerolume --control pause ended with $?"
asleep "paused from outside"
expect_status "  window ${SCREEN_W}x${SCREEN_H} asleep: paused from outside .*" "paused"
# Uncovered while paused: the last picture shows again, and no frame is counted.
grab "$WORK/paused.png"
watch_step 3
start_host "${SCREEN_W}x${SCREEN_H}+0+0"
stop_host
read_steps
[ "$STEP_NEXT" = none ] || fail "uncovered while paused, the scene stepped a frame"
grab "$WORK/exposed.png"
exposed=$(changed "$WORK/exposed.png" "$WORK/paused.png")
awk -v d="$exposed" 'BEGIN { exit !(d == 0) }' ||
  fail "uncovered while paused, the window does not show its last picture ($exposed changed)"
note "uncovered while paused: the last picture again, no frame"
control resume || fail "aerolume --control resume ended with $?"
awake "resumed"
expect_clouds kept "$WORK/clouds_before.png" "resumed"
control new-scene || fail "aerolume --control new-scene ended with $?"
expect_clouds renewed "$WORK/clouds_before.png" "a new scene asked from outside"

# The ends: each within $1 seconds, with status 0 and a silent stderr.
end_with() {
  local within=$1 what=$2
  shift 2
  "$@"
  expect_quiet_end "$APP_PID" "$within" "$what"
}
end_with 5 SIGTERM kill -TERM "$APP_PID"
# A stop while it starts, before the display is even open, ends it the same way.
start_app_stopped "before XOpenDisplay" --windowed
end_with 5 "SIGTERM during start-up" eval 'kill -TERM "$APP_PID"; kill -CONT "$APP_PID"'
# SIGUSR1 before the first frame: nothing to renew yet, the seeded clouds show.
start_app_stopped "before XOpenDisplay" --seed 5
kill -USR1 "$APP_PID"
kill -CONT "$APP_PID"
wait_for_sky screen_sky 0.25 "no sky after SIGUSR1 during start-up"
expect_clouds kept "$WORK/seeded.png" "SIGUSR1 during start-up"
end_with 5 "SIGTERM after SIGUSR1" kill -TERM "$APP_PID"
# A pause from outside is no part of a timed step: at a pace of 30 each step is the
# largest (0.4, a frame interval of 33 ms), and the first frame after the resume measures
# its own scene pass (a small window keeps it well under 33 ms), not the pause: its step
# is the mean of the two.
start_app --windowed -geometry 320x240 --timed --max-fps 30
sleep 1.5
control pause || fail "aerolume --control pause ended with $?"
asleep "paused, with timed steps"
watch_step 3
control resume || fail "aerolume --control resume ended with $?"
read_steps
greater "$STEP_BEFORE" 0.35 && [ "$STEP_NEXT" != none ] && greater 0.35 "$STEP_NEXT" ||
  fail "the step after a pause: ${STEP_NEXT:-none} from ${STEP_BEFORE:-none} (the pause counted in the step)"
note "the first timed step after a pause: the step went from $STEP_BEFORE to $STEP_NEXT"
end_with 5 SIGINT kill -INT "$APP_PID"
# Destroyed by another client (XDestroyWindow, as xdotool windowclose sends): just
# before a buffer swap, as it draws as fast as it can; just after one, as it sleeps out
# a capped frame; asleep while hidden. Its connection killed (XKillClient, as xkill
# sends).
while read -r what stop args; do
  if [ "$stop" = - ]; then
    start_app --windowed $args
    sleep 1
  else
    start_app_stopped "${stop//_/ }" --windowed $args
    WINDOW=$(xdotool search --name '^Aerolume$' | head -n 1)
  fi
  case $what in
    hidden-destroyed) xdotool windowunmap "$WINDOW" && asleep "hidden" ;;
  esac
  case $what in
    killed) end_with 1 "$what" xdotool windowkill "$WINDOW" ;;
    *) end_with 1 "$what" eval 'destroy_window "$WINDOW"; kill -CONT "$APP_PID"' ;;
  esac
done <<'SEQUENCES'
destroyed-drawing before_glXSwapBuffers_10
destroyed-capped after_glXSwapBuffers_10 --max-fps 30
hidden-destroyed -
killed -
SEQUENCES
start_app --windowed
sleep 1
lose_display() {
  kill "$XVFB_PID"
  wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=""
}
end_with 5 "the display lost" lose_display
echo "PASS"

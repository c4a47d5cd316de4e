#!/usr/bin/env bash
# The keyboard on the real window under Xvfb, with real key events: full screen on and
# off, auto-orbit, new clouds, tilting, a burst of random keys, and Esc.
AEROLUME=$1
XPROBE=$2
source "$(dirname "$0")/lib.sh"

key() { xdotool key --window "$WINDOW" "$@"; }

open_fullscreen_window

key F1
wait_window_size 1024 768
note "F1 leaves full screen: 1024 x 768"
key F1
wait_window_size $SCREEN_W $SCREEN_H
note "F1 again returns to full screen"
sleep 0.5

# The clouds come from the clock: a cloudy sky changes a lot when the view moves, a
# nearly clear one only where the balloons and ropes are. So each move is measured
# against what the same time changes without it (the balloons rise a little and fade
# in and out): the key's change must be at least three times that, and visible.
# $1: seconds to wait. Grabs twice that far apart and prints the share of change.
baseline() {
  grab "$WORK/base1.png"
  sleep "$1"
  grab "$WORK/base2.png"
  changed "$WORK/base1.png" "$WORK/base2.png"
}
# True when change $1 stands out of baseline $2.
stands_out() { greater "$1" "$(awk -v b="$2" 'BEGIN{print 3 * b + 0.005}')"; }

still=$(baseline 1)
note "change over 1 s with the camera still: $still"

# Auto-orbit turns 0.1 degree a frame; how soon that shows depends on the frame rate (a
# loaded machine draws few frames), so consecutive grabs 1 s apart are compared for up
# to 20 s.
key a
cp "$WORK/base2.png" "$WORK/prev.png"
turning=0 started=$SECONDS
orbit_shows() {
  sleep 1
  grab "$WORK/now.png"
  turning=$(changed "$WORK/prev.png" "$WORK/now.png")
  stands_out "$turning" "$still" || { cp "$WORK/now.png" "$WORK/prev.png"; return 1; }
}
WAIT_STEP=0 wait_until 20 orbit_shows
note "change over 1 s with the camera orbiting: $turning (after $((SECONDS - started)) s)"
key a
stands_out "$turning" "$still" || fail "auto-orbit does not turn the view ($turning against $still)"
sleep 0.5

grab "$WORK/before.png"
key c
sleep 1.5
grab "$WORK/after.png"
clouds=$(changed "$WORK/before.png" "$WORK/after.png")
note "change after c: $clouds"
greater "$clouds" 0.03 || fail "c does not change the clouds (change $clouds)"
app_running || fail "the program ended after c"

# Up and Down tilt the view by about 100 pixels for ten presses.
for move in Up Down; do
  base=$(baseline 0.5)
  for _ in 1 2 3 4 5 6 7 8 9 10; do key $move; done
  sleep 0.5
  grab "$WORK/moved.png"
  change=$(changed "$WORK/base2.png" "$WORK/moved.png")
  note "change after 10 x $move: $change (against $base without a key)"
  stands_out "$change" "$base" || fail "$move does not move the view ($change against $base)"
done

# A burst of random keys: every handled key but Esc, and many that are not handled.
keys=(plus minus a c t A C T equal x space Return BackSpace Tab 1 2 z F1 F2 F5 F12
      Left Right Up Down Prior Next Home End Insert Delete shift+a ctrl+c)
sent=0
RANDOM=4242
for _ in $(seq 300); do
  key "${keys[RANDOM % ${#keys[@]}]}" 2>/dev/null
  sent=$((sent + 1))
done
note "sent $sent random keys"
sleep 1
app_running || fail "the program ended during the random keys: $(cat "$WORK/app.err")"

quit_with_escape
echo "PASS"

#!/usr/bin/env bash
# The keyboard on the real window under Xvfb, with real key events: full screen on and
# off, auto-orbit, new clouds, tilting, a burst of random keys, and Esc.
AEROLUME=$1
XPROBE=$2
source "$(dirname "$0")/lib.sh"

key() { xdotool key --window "$WINDOW" "$@"; }

# Share of changed pixels between two grabs taken $1 seconds apart.
change_over() {
  grab "$WORK/a.png"
  sleep "$1"
  grab "$WORK/b.png"
  changed "$WORK/a.png" "$WORK/b.png"
}

start_xvfb
start_app
wait_window_size $SCREEN_W $SCREEN_H
sleep 1

key F1
wait_window_size 1024 768
note "F1 leaves full screen: 1024 x 768"
key F1
wait_window_size $SCREEN_W $SCREEN_H
note "F1 again returns to full screen"
sleep 0.5

# Without the camera moving only the balloons change the picture, and they cover a few
# per cent of it at most; an orbiting camera turns the whole cloud dome. The turn is
# 0.1 degree a frame, so how long it takes to show depends on the frame rate (a loaded
# machine draws few frames): wait for it up to 20 s.
still=$(change_over 1)
note "change over 1 s, camera still: $still"
greater 0.05 "$still" || fail "the view changes by $still in 1 s without the camera moving"
key a
turning=0
for waited in $(seq 20); do
  sleep 1
  grab "$WORK/c.png"
  turning=$(changed "$WORK/b.png" "$WORK/c.png")
  greater "$turning" 0.05 && break
done
note "change after $waited s of auto-orbit: $turning"
key a
greater "$turning" 0.05 || fail "auto-orbit does not turn the view (change $turning after 20 s)"
sleep 0.5

grab "$WORK/before.png"
key c
sleep 1.5
grab "$WORK/after.png"
clouds=$(changed "$WORK/before.png" "$WORK/after.png")
note "change after c: $clouds"
greater "$clouds" 0.05 || fail "c does not change the clouds (change $clouds)"
app_running || fail "the program ended after c"

grab "$WORK/before.png"
for _ in 1 2 3 4 5 6 7 8 9 10; do key Up; done
sleep 0.5
grab "$WORK/after.png"
up=$(changed "$WORK/before.png" "$WORK/after.png")
note "change after 10 x Up: $up"
greater "$up" 0.05 || fail "Up does not move the view (change $up)"
for _ in $(seq 20); do key Down; done
sleep 0.5
grab "$WORK/down.png"
down=$(changed "$WORK/after.png" "$WORK/down.png")
note "change after 20 x Down: $down"
greater "$down" 0.05 || fail "Down does not move the view (change $down)"

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

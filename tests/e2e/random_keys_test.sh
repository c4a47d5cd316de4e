#!/usr/bin/env bash
# Random input on the real window under Xvfb: at least 3000 key events (handled keys,
# unhandled keys, special keys and held keys, c and F1 among them many times) at random
# intervals for at least 30 seconds. The program must still be running and drawing at the
# end, and Esc must still end it with status 0.
AEROLUME=$1
XPROBE=$2
source "$(dirname "$0")/lib.sh"

open_fullscreen_window

# Weighted pool: c and F1 appear several times so they are pressed often; the first 14
# entries are the handled keys, the rest unhandled keys, special keys and combinations.
keys=(plus minus a c c c t F1 F1 F1 Left Right Up Down
      A C T equal x q space Return BackSpace Tab Escape_not 0 9 F2 F3 F4 F6 F9 F10 F11 F12
      Prior Next Home End Insert Delete shift+a ctrl+c alt+t KP_Add KP_Subtract)
RANDOM=${AEROLUME_FUZZ_SEED:-20261207}
seconds=${AEROLUME_FUZZ_SECONDS:-30}
min_keys=${AEROLUME_FUZZ_KEYS:-3000}
sent=0
held=0
presses_c=0
presses_f1=0
# At least $seconds seconds and at least $min_keys key events, however fast this
# machine sends them (with a generous bound on the time).
started=$SECONDS
while [ $((SECONDS - started)) -lt "$seconds" ] || [ "$sent" -lt "$min_keys" ]; do
  [ $((SECONDS - started)) -lt $((seconds * 10)) ] || fail "only $sent keys could be sent in $((SECONDS - started)) s"
  batch=()
  for _ in $(seq 50); do
    k=${keys[RANDOM % ${#keys[@]}]}
    [ "$k" = Escape_not ] && k=grave
    [ "$k" = c ] && presses_c=$((presses_c + 1))
    [ "$k" = F1 ] && presses_f1=$((presses_f1 + 1))
    batch+=("$k")
  done
  # Fifty keys in one call, 0 to 9 ms apart.
  xdotool key --window "$WINDOW" --delay $((RANDOM % 10)) "${batch[@]}" 2>/dev/null
  sent=$((sent + 50))
  if [ $((RANDOM % 4)) -eq 0 ]; then
    # A held key: auto-repeat as a person holding it would produce.
    k=${keys[RANDOM % 14]}
    xdotool keydown --window "$WINDOW" "$k" 2>/dev/null
    for _ in $(seq $((RANDOM % 15 + 5))); do
      xdotool keydown --window "$WINDOW" "$k" 2>/dev/null
      sent=$((sent + 1))
    done
    xdotool keyup --window "$WINDOW" "$k" 2>/dev/null
    held=$((held + 1))
  fi
  sleep "0.0$((RANDOM % 5))"
  app_running || fail "the program ended after $sent keys: $(cat "$WORK/app.err")"
done
note "sent $sent key events in $((SECONDS - started)) s: c $presses_c times, F1 $presses_f1 times, $held held keys"
[ "$presses_c" -ge 100 ] && [ "$presses_f1" -ge 100 ] && [ "$held" -ge 10 ] ||
  fail "too few c presses, F1 presses or held keys for the test to mean anything"

sleep 1
app_running || fail "the program ended during the random keys: $(cat "$WORK/app.err")"
# Still drawing: the balloons move, and new clouds show up on screen.
grab "$WORK/a.png"
xdotool key --window "$WINDOW" c
sleep 1.5
grab "$WORK/b.png"
moving=$(changed "$WORK/a.png" "$WORK/b.png")
note "change between two grabs around a c press: $moving"
greater "$moving" 0.01 || fail "the program no longer draws (the screen did not change)"

quit_with_escape
echo "PASS"

#!/usr/bin/env bash
# The pace follows the power source in another program's window, with UPower and
# power-profiles-daemon mocked (python3-dbusmock) on a private bus that stands in for the
# system bus: 30 frames a second without UPower, 10 once it appears on battery, 30 back on
# mains, 10 in power-saver mode; with --battery-fps 0 nothing at all on battery, frames
# again once UPower leaves the bus (within 10 s; a quarter of a second here), at 30. The
# offscreen frames of --frames-to keep the same paces.
AEROLUME=$1
XPROBE=$2
HOST=${3:-}
STOP_LIB=${4:-}
source "$(dirname "$0")/lib.sh"
start_session_bus
[ -x "$HOST" ] || fail "the host window program is missing (third argument): '$HOST'"
start_system_bus

on_battery() { set_property org.freedesktop.UPower /org/freedesktop/UPower OnBattery "$1"; }
profile() { set_property net.hadess.PowerProfiles /net/hadess/PowerProfiles ActiveProfile "$1"; }

lines() { grep -c . "$WORK/app.out"; }
# The bands tell 30 from 10 frames a second with room for a loaded machine, where slots
# are missed and a pace of 30 can fall to the low twenties; never above the pace.
# The frame rate of the second frame-rate line from now (the first may straddle a change
# just made, and the program has up to a second to follow it); checks it lies from $1 to
# $2 ($3 says what is measured).
rate_between() {
  local from=$(($(lines) + 2)) rate
  wait_until 15 line_or_end "$from"
  app_running || fail "the program ended: $(cat "$WORK/app.err")"
  rate=$(sed -n "${from}p" "$WORK/app.out" | awk '{ if ($4 > 0) printf "%.1f\n", $1 / $4 }')
  [ -n "$rate" ] || fail "$3: no frame-rate line in 15 s: $(cat "$WORK/app.out")"
  awk -v r="$rate" -v a="$1" -v b="$2" 'BEGIN { exit !(r >= a && r <= b) }' ||
    fail "$3: $rate frames a second, expected $1 to $2"
  note "$3: $rate frames a second"
}
line_or_end() { [ "$(lines)" -ge "$1" ] || ! app_running; }
start_in_host() {
  : >"$WORK/app.out"  # see the offscreen frames below
  DBUS_SYSTEM_BUS_ADDRESS=$SYSTEM_BUS "$AEROLUME" --window-id "$HOST_WINDOW" --fps "$@" \
    >"$WORK/app.out" 2>"$WORK/app.err" &
  APP_PID=$!
}
stop_app() {
  kill "$APP_PID" && wait "$APP_PID"
  APP_PID=""
}

start_xvfb
start_host 400x300+100+80
start_mock power_profiles_daemon '{"ActiveProfile": "balanced"}' net.hadess.PowerProfiles

start_in_host
rate_between 22 33 "no UPower on the bus (mains)"
start_mock upower '{"OnBattery": true}' org.freedesktop.UPower
UPOWER_PID=$MOCK_PID
rate_between 8 11 "UPower appeared, on battery"
expect_status "aerolume in another program's window on $DISPLAY (pid $APP_PID): 10 frames a second, .* drawn" \
  "on battery, the pace as set"
on_battery false
rate_between 22 33 "back on mains"
profile power-saver
rate_between 8 11 "power-saver mode"
profile balanced
stop_app

# --battery-fps 0 on battery: not a frame, the host window left as it was, asleep; the
# frames come back when UPower leaves the bus (mains, as without it).
on_battery true
grab "$WORK/before.png"
start_in_host --battery-fps 0
asleep "on battery with --battery-fps 0"
expect_status "  window 400x300 asleep: on battery or power saving, at a battery pace of 0" \
  "on battery with --battery-fps 0"
[ "$(lines)" -eq 0 ] || fail "frames were drawn on battery with --battery-fps 0: $(cat "$WORK/app.out")"
grab "$WORK/shot.png"
drawn=$(changed "$WORK/shot.png" "$WORK/before.png" 100 80 400 300)
awk -v d="$drawn" 'BEGIN { exit !(d == 0) }' ||
  fail "the host window was drawn on with --battery-fps 0 ($drawn of it changed)"
note "--battery-fps 0: no frame, the host window as it was"
kill "$UPOWER_PID" && wait "$UPOWER_PID" 2>/dev/null
UPOWER_PID=""
# Within 10 s, not at a fixed moment: a loaded machine may take longer than the quarter
# of a second this takes on a quiet one.
redrawn() {
  grab "$WORK/shot.png"
  drawn=$(changed "$WORK/shot.png" "$WORK/before.png" 100 80 400 300)
  greater "$drawn" 0.1
}
left=$EPOCHREALTIME
WAIT_STEP=0.1 wait_until 10 redrawn ||
  fail "after UPower left, the host window was not drawn within 10 s ($drawn changed)"
note "UPower left: $drawn of the host window drawn anew after $(awk -v a="$left" \
  -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }') s"
rate_between 22 33 "UPower gone (mains)"
stop_app

# Frames drawn offscreen into a file (--frames-to, as the Plasma wallpaper starts the
# program) keep the same paces: 10 a second on battery, 30 back on mains.
profile balanced
start_mock upower '{"OnBattery": true}' org.freedesktop.UPower
UPOWER_PID=$MOCK_PID
# Emptied first (as by start_in_host): the background job opens its output only once it
# runs, and the lines of the program before would be counted meanwhile.
: >"$WORK/app.out"
DBUS_SYSTEM_BUS_ADDRESS=$SYSTEM_BUS "$AEROLUME" --frames-to "$WORK/frames" --size 64x48 --fps \
  >"$WORK/app.out" 2>"$WORK/app.err" &
APP_PID=$!
rate_between 8 11 "offscreen frames on battery"
on_battery false
rate_between 22 33 "offscreen frames back on mains"
stop_app
note "PASS"

#!/usr/bin/env bash
# The pace follows the power source in another program's window, with UPower and
# power-profiles-daemon mocked (python3-dbusmock) on a private bus that stands in for the
# system bus: 30 frames a second without UPower, 10 once it appears on battery, 30 back on
# mains, 10 in power-saver mode; with --battery-fps 0 nothing at all on battery, and 30
# again once UPower leaves the bus.
AEROLUME=$1
XPROBE=$2
HOST=${3:-}
STOP_LIB=${4:-}
source "$(dirname "$0")/lib.sh"
[ -x "$HOST" ] || fail "the host window program is missing (third argument): '$HOST'"
PYTHON=/usr/bin/python3
"$PYTHON" -c 'import dbusmock' 2>/dev/null ||
  { echo "SKIP: python3-dbusmock is not installed (scripts/install-deps installs it)"; exit 77; }
needs_tools dbus-daemon dbus-send

BUS_PID="" UPOWER_PID="" PROFILES_PID=""
stop_bus() {
  local pid
  for pid in "$UPOWER_PID" "$PROFILES_PID" "$BUS_PID"; do
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
}
trap 'stop_bus; cleanup' EXIT

# A bus of the test's own, named where programs look for the system bus.
dbus-daemon --session --nofork --print-address=3 3>"$WORK/bus" >"$WORK/bus.log" 2>&1 &
BUS_PID=$!
for _ in $(seq 100); do
  [ -s "$WORK/bus" ] && break
  sleep 0.1
done
[ -s "$WORK/bus" ] || fail "the private bus did not start: $(cat "$WORK/bus.log")"
export DBUS_SYSTEM_BUS_ADDRESS=$(head -n 1 "$WORK/bus")

# Starts a mocked daemon from python3-dbusmock's template $1 with the JSON parameters $2
# and waits until its name $3 is on the bus; prints its process id.
start_mock() {
  "$PYTHON" -m dbusmock --system --template "$1" --parameters "$2" >>"$WORK/mock.log" 2>&1 &
  local pid=$!
  for _ in $(seq 100); do
    dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner "string:$3" 2>/dev/null | grep -q 'boolean true' &&
      { echo "$pid"; return 0; }
    sleep 0.1
  done
  fail "the mock of $3 did not start: $(cat "$WORK/mock.log")"
}
# Sets a property of a mocked daemon (its UpdateProperties sends PropertiesChanged):
# set_property NAME PATH PROPERTY VALUE, VALUE true, false or a string.
set_property() {
  "$PYTHON" - "$@" <<'PY' || fail "cannot set $3 to $4 on $1"
import sys, dbus
name, path, prop, value = sys.argv[1:]
value = dbus.Boolean(value == 'true') if value in ('true', 'false') else dbus.String(value)
dbus.SystemBus().get_object(name, path).UpdateProperties(
    name, {prop: value}, dbus_interface='org.freedesktop.DBus.Mock')
PY
  note "$3 is now $4"
}
on_battery() { set_property org.freedesktop.UPower /org/freedesktop/UPower OnBattery "$1"; }
profile() { set_property net.hadess.PowerProfiles /net/hadess/PowerProfiles ActiveProfile "$1"; }

lines() { grep -c . "$WORK/app.out"; }
# The frame rate of the second frame-rate line from now (the first may straddle a change
# just made, and the program has up to a second to follow it); checks it lies from $1 to
# $2 ($3 says what is measured).
rate_between() {
  local from=$(($(lines) + 2)) rate
  for _ in $(seq 150); do
    [ "$(lines)" -ge "$from" ] && break
    app_running || fail "the program ended: $(cat "$WORK/app.err")"
    sleep 0.1
  done
  rate=$(sed -n "${from}p" "$WORK/app.out" | awk '{ if ($4 > 0) printf "%.1f\n", $1 / $4 }')
  [ -n "$rate" ] || fail "$3: no frame-rate line in 15 s: $(cat "$WORK/app.out")"
  awk -v r="$rate" -v a="$1" -v b="$2" 'BEGIN { exit !(r >= a && r <= b) }' ||
    fail "$3: $rate frames a second, expected $1 to $2"
  note "$3: $rate frames a second"
}
start_in_host() {
  "$AEROLUME" --window-id "$HOST_WINDOW" --fps "$@" >"$WORK/app.out" 2>"$WORK/app.err" &
  APP_PID=$!
}
stop_app() {
  kill "$APP_PID" && wait "$APP_PID"
  APP_PID=""
}

start_xvfb
start_host 400x300+100+80
PROFILES_PID=$(start_mock power_profiles_daemon '{"ActiveProfile": "balanced"}' net.hadess.PowerProfiles)

start_in_host
rate_between 27 33 "no UPower on the bus (mains)"
UPOWER_PID=$(start_mock upower '{"OnBattery": true}' org.freedesktop.UPower)
rate_between 9 11 "UPower appeared, on battery"
on_battery false
rate_between 27 33 "back on mains"
profile power-saver
rate_between 9 11 "power-saver mode"
profile balanced
stop_app

# --battery-fps 0 on battery: not a frame, the host window left as it was, asleep; the
# frames come back when UPower leaves the bus (mains, as without it).
on_battery true
grab "$WORK/before.png"
start_in_host --battery-fps 0
asleep "on battery with --battery-fps 0"
[ "$(lines)" -eq 0 ] || fail "frames were drawn on battery with --battery-fps 0: $(cat "$WORK/app.out")"
grab "$WORK/shot.png"
drawn=$(changed "$WORK/shot.png" "$WORK/before.png" 100 80 400 300)
awk -v d="$drawn" 'BEGIN { exit !(d == 0) }' ||
  fail "the host window was drawn on with --battery-fps 0 ($drawn of it changed)"
note "--battery-fps 0: no frame, the host window as it was"
kill "$UPOWER_PID" && wait "$UPOWER_PID" 2>/dev/null
UPOWER_PID=""
rate_between 27 33 "UPower gone (mains)"
stop_app
note "PASS"

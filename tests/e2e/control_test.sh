#!/usr/bin/env bash
# Control from outside, on a private session bus: aerolume --control drives a stand-in
# shell (control_server: the real ControlServer with two fake views) through pause,
# toggle, resume and new-scene, its status as lines and as JSON; the interface it serves
# is the installed description's; and no bus, no program, an unknown command and a
# stopped program each end with one line and their status, never a hang.
# Usage: control_test.sh AEROLUME CONTROL_SERVER SOURCE_DIR
AEROLUME=$1 SERVER=$2 SOURCE_DIR=$3
source "$(dirname "$0")/../lib.sh"
PYTHON=/usr/bin/python3
needs_tools dbus-daemon dbus-monitor gdbus "$PYTHON"

# expect STATUS PATTERN COMMAND...: the status, and one line on stderr that matches.
expect() {
  local want=$1 pattern=$2 got=0
  shift 2
  "$@" >"$WORK/out" 2>"$WORK/err" || got=$?
  [ "$got" -eq "$want" ] || fail "$* ended with $got, expected $want: $(cat "$WORK/err")"
  [ "$(wc -l <"$WORK/err")" -eq 1 ] && grep -q -- "$pattern" "$WORK/err" ||
    fail "$*: stderr is not one line matching '$pattern': $(cat "$WORK/err")"
  note "$*: $want, $(cat "$WORK/err")"
}
control() { DBUS_SESSION_BUS_ADDRESS=$BUS "$AEROLUME" --control "$@"; }

expect 1 'cannot reach the session D-Bus' \
  env -u DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR="$WORK" "$AEROLUME" --control status
dbus-daemon --session --nofork --print-address=3 3>"$WORK/bus" >"$WORK/bus.log" 2>&1 &
SERVICE_PIDS+=($!)
wait_until 10 test -s "$WORK/bus" || fail "the private bus did not start: $(cat "$WORK/bus.log")"
BUS=$(head -n 1 "$WORK/bus")
expect 1 "no Aerolume runs on this session's D-Bus" control status
expect 2 "'frobnicate' is no control command (.*); try aerolume --control status" control frobnicate

DBUS_SESSION_BUS_ADDRESS=$BUS "$SERVER" >"$WORK/app.out" 2>"$WORK/app.err" &
APP_PID=$!
wait_until 10 control status >/dev/null 2>&1 ||
  fail "the server never answered: $(cat "$WORK/app.err")"
name=io.github.aerolume.Aerolume.i$APP_PID

# status_is PROGRAM_STATE SECOND_VIEW_STATE WHEN: the whole status, line by line.
status_is() {
  control status >"$WORK/status" || fail "status ended with $?"
  printf '%s\n' "aerolume --background on wayland-test (pid $APP_PID): $1" \
    "  HDMI-A-1 1920x1080 asleep: covered by a full-screen window" \
    "  DP-\"1\"\\ 2560x1440 $2" >"$WORK/expected"
  diff "$WORK/expected" "$WORK/status" >&2 || fail "status after $3 differs (< expected, > printed)"
}
# said LINE: the server printed LINE last (a call's effect).
said() {
  wait_until 5 test "$(tail -n 1 "$WORK/app.out")" = "$1" || fail "the server did not say '$1'"
}
running="30 frames a second, 29.8 drawn"
paused="paused (30 frames a second when resumed)"
asleep="asleep: paused from outside (aerolume --control resume)"
status_is "$running" drawn "the start"

dbus-monitor --address "$BUS" "type='signal',interface='org.freedesktop.DBus.Properties'" \
  >"$WORK/signals" 2>&1 &
SERVICE_PIDS+=($!)
wait_until 5 grep -q NameAcquired "$WORK/signals" || fail "dbus-monitor did not start"
control pause && said "paused 1" && status_is "$paused" "$asleep" pause
wait_until 5 grep -q '"Paused"' "$WORK/signals" || fail "no PropertiesChanged for Paused"
grep -A3 '"Paused"' "$WORK/signals" | grep -q 'boolean true' ||
  fail "PropertiesChanged lacks Paused true"
control toggle && said "paused 0" && status_is "$running" drawn toggle
control toggle && said "paused 1" && control resume && said "paused 0" &&
  status_is "$running" drawn resume
control new-scene && said "new scene"
note "pause, toggle, resume and new-scene change the server and its status"
# New frames files go only to a program that draws them (this one is a Wayland background).
refused=$(gdbus call --address "$BUS" --dest "$name" --object-path /io/github/aerolume/Aerolume \
  --method io.github.aerolume.Aerolume.Control.SetFrames "[('/tmp/f', 64, 48)]" 2>&1) &&
  fail "SetFrames was taken by a Wayland background: $refused"
[[ $refused == *NotSupported* ]] || fail "SetFrames refused otherwise than as not supported: $refused"

# The JSON parses and holds what the lines hold.
control status --json >"$WORK/status.json" || fail "status --json ended with $?"
"$PYTHON" - "$WORK/status.json" "$name" <<'PY' || fail "status --json: $(cat "$WORK/status.json")"
import json, sys
programs = json.load(open(sys.argv[1]))
assert [p["bus_name"] for p in programs] == [sys.argv[2]], programs
p = programs[0]
assert (p["role"], p["display"], p["paused"], p["pace"], p["drawn_pace"]) == \
    ("wayland-background", "wayland-test", False, 30, 29.8), p
assert p["views"] == [
    {"name": "HDMI-A-1", "width": 1920, "height": 1080, "drawn": False, "reason": "full-screen",
     "text": "covered by a full-screen window"},
    {"name": 'DP-"1"\\', "width": 2560, "height": 1440, "drawn": True, "reason": None,
     "text": None}], p["views"]
PY
note "status --json parses and holds the same views"

# The interface served is the one the package installs: the same methods, the same
# properties with the same types.
gdbus introspect --address "$BUS" --dest "$name" --object-path /io/github/aerolume/Aerolume \
  --xml >"$WORK/served.xml" || fail "no introspection from the server"
described=$SOURCE_DIR/data/dbus/io.github.aerolume.Aerolume.Control.xml
"$PYTHON" - "$WORK/served.xml" "$described" <<'PY' ||
import sys, xml.etree.ElementTree as ET
def members(path):
    node = ET.parse(path).getroot()
    interface = node.find("interface[@name='io.github.aerolume.Aerolume.Control']")
    return sorted((e.tag, e.get("name"), e.get("type"), e.get("access"),
                   tuple((a.get("direction"), a.get("type")) for a in e.findall("arg")))
                  for e in interface if e.tag in ("method", "property", "signal"))
served, described = members(sys.argv[1]), members(sys.argv[2])
if served != described:
    sys.exit(f"served {served}\ndescribed {described}")
PY
  fail "the served interface differs from data/dbus's description"
note "the served interface is the described one"

# A stopped program: one line naming it, status 1, once the answer's 3 s are up (a
# little more on a loaded machine, never the client's last-resort 4 s).
kill -STOP "$APP_PID"
start=$EPOCHREALTIME
expect 1 "$name (pid $APP_PID) did not answer within 3 seconds" control status
took=$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }')
greater 3.8 "$took" || fail "the stopped program held the client for $took s"
kill -CONT "$APP_PID"
note "a stopped program: status 1 after $took s"
echo PASS

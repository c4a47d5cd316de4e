#!/usr/bin/env bash
# Under the real xsecurelock, set up as the README says (XSECURELOCK_SAVER naming the
# program) and started by xss-lock when logind locks the session, on one screen split
# into two RandR monitors: the locker starts one aerolume per monitor, each in its own
# window, and each draws its own scene. SIGUSR1 to one of them (xsecurelock's reset)
# leaves that same process drawing with new clouds and the other's as they were; the
# password prompt opened and closed, with XSECURELOCK_SAVER_RESET_ON_AUTH_CLOSE=1, renews
# both without a restart (no "saver child killed" in the locker's log); SIGTERM to the
# locker leaves no aerolume behind; the server's screen saver coming on locks again.
AEROLUME=$1
XPROBE=$2
source "$(dirname "$0")/lib.sh"
needs_tools xsecurelock xss-lock xrandr

# xsecurelock starts no saver for root in some setups: as root it runs as nobody.
as_desktop_user
mkdir -p "$WORK/home"
chown "$user" "$WORK/home"

start_xvfb
# Two monitors side by side on the one screen, as xsecurelock reads them from RandR.
half=$((SCREEN_W / 2))
xrandr --setmonitor left "$half/169x$SCREEN_H/271+0+0" none &&
  xrandr --setmonitor right "$half/169x$SCREEN_H/271+$half+0" none ||
  fail "cannot split the screen into two monitors"

# The locker started by xss-lock, with the README's line, in a session of a logind mocked
# on a private system bus: the session's Lock signal (what loginctl lock-session asks
# for) starts it.
start_system_bus "${as_user[@]}"
start_mock logind '{}' org.freedesktop.login1
logind_call() {
  DBUS_SYSTEM_BUS_ADDRESS=$SYSTEM_BUS "${as_user[@]}" "$PYTHON" - "$@" <<'PY' ||
import sys, dbus
path, interface, method, *args = sys.argv[1:]
# "#N" is a number, yes and no are booleans, the rest strings.
args = [dbus.UInt32(a[1:]) if a.startswith('#') else
        dbus.Boolean(a == 'yes') if a in ('yes', 'no') else a for a in args]
logind = dbus.SystemBus().get_object('org.freedesktop.login1', path)
getattr(logind, method)(*args, dbus_interface=interface)
PY
    fail "the mocked logind refused $3"
}
# The session, and the call xss-lock finds its own session with (the template has none).
logind_call /org/freedesktop/login1 org.freedesktop.DBus.Mock AddSession \
  c1 seat0 "#$(id -u "$user")" "$user" yes
logind_call /org/freedesktop/login1 org.freedesktop.DBus.Mock AddMethod \
  org.freedesktop.login1.Manager GetSessionByPID u o 'ret = "/org/freedesktop/login1/session/c1"'
env -i DISPLAY="$DISPLAY" HOME="$WORK/home" PATH=/usr/bin:/bin \
  DBUS_SYSTEM_BUS_ADDRESS="$SYSTEM_BUS" "${as_user[@]}" \
  xss-lock -- env XSECURELOCK_SAVER="$(realpath "$AEROLUME")" \
  XSECURELOCK_SAVER_RESET_ON_AUTH_CLOSE=1 xsecurelock >"$WORK/lock.log" 2>&1 &
SERVICE_PIDS+=($!)
xss_lock=$!
# The locker xss-lock runs: its one child, xsecurelock (lib.sh's clean-up ends it).
locker_started() {
  HOST_PID=$(ps -o pid= --ppid "$xss_lock" | tr -d ' ')
  [ -n "$HOST_PID" ] && [ "$(cat "/proc/$HOST_PID/comm" 2>/dev/null)" = xsecurelock ]
}
# Asked again until xss-lock, once it listens, starts the locker.
locked() {
  logind_call /org/freedesktop/login1/session/c1 org.freedesktop.login1.Session Lock
  sleep 0.5
  locker_started
}
WAIT_STEP=0 wait_until 10 locked ||
  fail "logind's Lock did not start xsecurelock under xss-lock: $(cat "$WORK/lock.log")"
note "logind's Lock: xss-lock started xsecurelock ($HOST_PID)"

# The savers: the aerolume processes below the locker (its saver_multiplex starts them),
# as "PID X WINDOW": the window each draws in (XSCREENSAVER_WINDOW) and its left edge.
children() { ps -o pid= --ppid "$1" 2>/dev/null; }
find_savers() {
  local multiplex pid window
  SAVERS=()
  for multiplex in $(children "$HOST_PID"); do
    for pid in $(children "$multiplex"); do
      [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = aerolume ] || continue
      window=$(tr '\0' '\n' <"/proc/$pid/environ" | sed -n 's/^XSCREENSAVER_WINDOW=//p')
      SAVERS+=("$pid $(xwininfo -id "$window" 2>/dev/null |
                       awk '/Absolute upper-left X/ {print $NF}') $window")
    done
  done
  [ "${#SAVERS[@]}" -eq 2 ]
}
wait_until 15 find_savers ||
  fail "not two savers under the locker: ${SAVERS[*]:-none}; $(cat "$WORK/lock.log")"
for saver in "${SAVERS[@]}"; do
  read -r pid x window <<<"$saver"
  case $x in
    0) LEFT=$pid LEFT_WINDOW=$window ;;
    "$half") RIGHT=$pid RIGHT_WINDOW=$window ;;
  esac
done
[ -n "${LEFT:-}" ] && [ -n "${RIGHT:-}" ] || fail "the savers' windows are not the monitors: ${SAVERS[*]}"
note "savers: $LEFT on the left monitor, $RIGHT on the right"

wait_for_sky screen_sky 0.25 "the savers' windows do not show the scene"
# Each saver draws on: 3 s on, its window's picture moves within a second (the balloons
# rise; a saver that stopped leaves its last frame, unchanged). The CPU is only a ceiling:
# how little a frame costs depends on the machine.
left_cpu=$(cpu_seconds "$LEFT") right_cpu=$(cpu_seconds "$RIGHT")
sleep 3
left_cpu=$(awk -v a="$left_cpu" -v b="$(cpu_seconds "$LEFT")" 'BEGIN { printf "%.3f", (b - a) / 3 }')
right_cpu=$(awk -v a="$right_cpu" -v b="$(cpu_seconds "$RIGHT")" 'BEGIN { printf "%.3f", (b - a) / 3 }')
left_moved=$("$XPROBE" changes "$LEFT_WINDOW" 1) || fail "cannot read the left saver's window"
right_moved=$("$XPROBE" changes "$RIGHT_WINDOW" 1) || fail "cannot read the right saver's window"
note "the scene fills the screen (sky share $SKY); moved in a second: $left_moved and $right_moved of each window; CPU over 3 s: $left_cpu and $right_cpu of a core"
for moved in "$left_moved" "$right_moved"; do
  greater "$moved" 0 || fail "a saver does not draw (its picture still after a second)"
done
for share in "$left_cpu" "$right_cpu"; do
  greater 0.5 "$share" || fail "a saver used $share of a core, not a saver's pace"
done

left=(0 0 "$half" "$SCREEN_H") right=("$half" 0 "$half" "$SCREEN_H")
# SIGUSR1 to the left saver: new clouds there, the right one's kept, the same processes.
grab "$WORK/before.png"
APP_PID=$LEFT
kill -USR1 "$LEFT"
expect_clouds renewed "$WORK/before.png" "SIGUSR1 to the left saver, its monitor" "${left[@]}"
APP_PID=$RIGHT
expect_clouds kept "$WORK/before.png" "SIGUSR1 to the left saver, the right monitor" "${right[@]}"

# The prompt opened (a key) and closed (Escape): both savers reset, neither restarted.
cp "$WORK/clouds.png" "$WORK/before.png"
xdotool key a
# The prompt is a child of the locker's beside saver_multiplex.
prompt_open() { ps -o comm= --ppid "$HOST_PID" | grep -qv saver_multiplex; }
wait_until 10 prompt_open || fail "no prompt opened after a key: $(cat "$WORK/lock.log")"
sleep 1
xdotool key Escape
APP_PID=$LEFT
expect_clouds renewed "$WORK/before.png" "the prompt closed, the left monitor" "${left[@]}"
APP_PID=$RIGHT
expect_clouds renewed "$WORK/before.png" "the prompt closed, the right monitor" "${right[@]}"
find_savers || fail "not two savers after the prompt closed: ${SAVERS[*]:-none}"
[[ " ${SAVERS[*]} " == *" $LEFT "* && " ${SAVERS[*]} " == *" $RIGHT "* ]] ||
  fail "the savers were restarted: now ${SAVERS[*]}, before $LEFT and $RIGHT"
! grep -i 'saver child' "$WORK/lock.log" || fail "the locker's log names a saver child's end"
note "the same savers after the prompt; the locker's log: $(tr '\n' ' ' <"$WORK/lock.log")"

kill -TERM "$HOST_PID"
wait "$HOST_PID" 2>/dev/null
HOST_PID="" APP_PID=""
wait_until 10 eval 'gone "$LEFT" && gone "$RIGHT"' ||
  fail "an aerolume still runs 10 s after SIGTERM to the locker"
note "SIGTERM to the locker ended both savers"

# Idle: the server's screen saver coming on (xset s activate) starts the locker again.
xset s activate
wait_until 15 eval 'locker_started && find_savers' || fail "the screen saver on did not start the locker and its savers again"
note "the server's screen saver on: xss-lock started xsecurelock and two savers again"
echo "PASS"

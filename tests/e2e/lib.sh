# Shared helpers for the end-to-end tests: the real aerolume window on a private Xvfb
# screen, host windows, screen grabs and CPU shares (the rest is in tests/lib.sh).
# Usage: source this file with AEROLUME and XPROBE set to the built programs (HOST to
# the host window program and STOP_LIB to the library that stops the program at a known
# point, for the scripts that use them).

source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"
SYSTEM_BUS="" UPOWER_PID=""
bus_user=()

# Starts aerolume with the given arguments and waits for its window; sets APP_PID and
# WINDOW.
start_app() {
  "$AEROLUME" "$@" >"$WORK/app.out" 2>"$WORK/app.err" &
  APP_PID=$!
  WINDOW=$(timeout 60 xdotool search --sync --name '^Aerolume$' | head -n 1)
  [ -n "$WINDOW" ] || fail "no window titled Aerolume appeared: $(cat "$WORK/app.err")"
  note "window $WINDOW"
}

app_running() { kill -0 "$APP_PID" 2>/dev/null; }

# Starts aerolume with the arguments after $1, stopped at the point $1 names (see
# tests/e2e/stop_at.cpp: "before XSelectInput", "after glXSwapBuffers 10"); sets APP_PID
# once it has stopped there. SIGCONT lets it go on.
start_app_stopped() {
  local when=$1
  shift
  env LD_PRELOAD="$STOP_LIB" AEROLUME_STOP="$when" "$AEROLUME" "$@" >"$WORK/app.out" \
    2>"$WORK/app.err" &
  APP_PID=$!
  wait_until 30 app_stopped "$when" || fail "the program did not stop $when"
}
app_stopped() {
  [ "$(awk '{print $3}' "/proc/$APP_PID/stat" 2>/dev/null)" = T ] && return 0
  app_running || fail "the program ended before it stopped $1: $(cat "$WORK/app.err")"
  return 1
}

# Destroys window $1 (XDestroyWindow, as xdotool windowclose sends) and waits until the
# server has done it.
destroy_window() {
  local window=$1
  xdotool windowclose "$window"
  wait_until 10 eval '! xdotool getwindowname "$window" >/dev/null 2>&1' ||
    fail "window $window is still there 10 s after xdotool windowclose"
}

# Prints "W H" of the window.
window_size() {
  xdotool getwindowgeometry --shell "$WINDOW" | awk -F= '/^WIDTH/{w=$2} /^HEIGHT/{h=$2} END{print w, h}'
}

# Waits until the window has the given size (up to 20 s).
wait_window_size() {
  local want="$1 $2" got=""
  wait_until 20 eval 'got=$(window_size); [ "$got" = "$want" ]' || fail "window is $got, expected $want"
}

# Waits (up to 20 s) until the window lies at X Y with size W H, as "X Y W H" on the screen.
wait_window_place() {
  local want="$1 $2 $3 $4" got=""
  wait_until 20 eval 'got=$(window_place); [ "$got" = "$want" ]' ||
    fail "the window lies at $got (X Y W H), expected $want"
}
window_place() {
  xwininfo -id "$WINDOW" | awk '/Absolute upper-left X/ {x = $NF}
    /Absolute upper-left Y/ {y = $NF} /Width:/ {w = $NF} /Height:/ {h = $NF}
    END {print x, y, w, h}'
}

# Starts Xvfb and aerolume (with the arguments given), waits until the window covers the whole screen, and gives
# the program a second to draw there.
open_fullscreen_window() {
  start_xvfb
  start_app "$@"
  wait_window_size $SCREEN_W $SCREEN_H
  note "window covers the whole screen"
  sleep 1
}

grab() { "$XPROBE" grab "$1" || fail "screen grab failed"; }

# Share (0..1) of differing pixels between two grabs, optionally inside X Y W H.
changed() { "$XPROBE" diff "$@"; }

# expect_clouds renewed|kept BEFORE.png WHAT [X Y W H]: the sky's clouds on the screen
# against those of an earlier grab (the balloons, which move, left out), inside X Y W H
# if given, counted over the sky clouded in either grab. Renewed: over a quarter of it
# differs within 10 s (a fresh scene is made before the next frame). Kept: under a
# fiftieth differs, a second from now. A grab with no clouded sky to compare (the screen
# blank a moment, as a locker's prompt closes) is waited past for renewed clouds, and
# fails kept ones. Clear sky without a cloud in both grabs (a scene in forty, in a
# saver's window) is kept clouds, and renewed ones not yet seen. The program (APP_PID, if
# set) must run throughout; on a failure its signal state is shown (a signal blocked or
# left pending).
expect_clouds() {
  local want=$1 before=$2 what=$3 share=""
  shift 3
  case $want in
    renewed) WAIT_STEP=0.5 wait_until 10 clouds_changed_over 0.25 "$before" "$@" ;;
    kept) sleep 1 && clouds_changed_over 0.02 "$before" "$@" ;;
    *) fail "expect_clouds: renewed or kept, not '$want'" ;;
  esac
  local over=$?
  case $want in
    renewed) [ "$over" -eq 0 ] ||
      fail "$what: the clouds were not renewed (share changed: $share)$(signal_state)" ;;
    kept)
      [ "$over" -ne 0 ] || fail "$what: the clouds changed ($share of them)"
      [ "$over" -ne 2 ] || fail "$what: no clouded sky to compare the clouds on"
      [ "$over" -ne 3 ] || { note "$what: clouds kept (a clear sky in both grabs)"; return 0; } ;;
  esac
  note "$what: clouds $want ($share of them changed)"
}
signal_state() {
  [ -n "$APP_PID" ] && [ -r "/proc/$APP_PID/status" ] || return 0
  printf '; the program: %s' "$(grep -E '^(SigPnd|ShdPnd|SigBlk|SigCgt)' "/proc/$APP_PID/status" | tr '\t\n' '  ')"
}
clouds_changed_over() {
  local least=$1 before=$2
  shift 2
  [ -z "$APP_PID" ] || app_running || fail "$what: the program ended: $(cat "$WORK/app.err" 2>/dev/null)"
  grab "$WORK/clouds.png"
  # Status 2: nothing to compare; 3: a clear sky in both (xprobe says which).
  local status=0
  share=$("$XPROBE" clouds "$before" "$WORK/clouds.png" "$@") || status=$?
  case $status in
    0) greater "$share" "$least" ;;
    3) share="none, a clear sky in both"; return 3 ;;
    *) share=none; return 2 ;;
  esac
}

# CPU seconds that process $1 (default: the program) has used so far: its threads' time
# on a CPU in nanoseconds (schedstat), where the kernel keeps it. The user and system
# times of /proc/PID/stat count hundredths of a second, too coarse for a sleeping program
# that wakes a few times a second: over 2 s, 0.6 % of a core reads as 0.5 or 1 %.
cpu_seconds() {
  local pid=${1:-$APP_PID}
  # A thread that ends while it is read is left out, under pipefail too.
  { cat /proc/"$pid"/task/*/schedstat 2>/dev/null || true; } |
    awk '{ ns += $1 } END { if (NR == 0) exit 1; printf "%.6f\n", ns / 1e9 }' ||
    awk -v tck="$(getconf CLK_TCK)" '{ print ($14 + $15) / tck }' "/proc/$pid/stat"
}
# Prints the CPU share of process $2 (default: the program) over the next $1 seconds.
cpu_share_over() {
  local before after
  before=$(cpu_seconds "${2:-}")
  sleep "$1"
  after=$(cpu_seconds "${2:-}")
  awk -v a="$before" -v b="$after" -v t="$1" 'BEGIN { printf "%.3f\n", (b - a) / t }'
}

# A program asleep stays under a hundredth of a core; one that draws uses more, how much
# more depending on the machine: a frame that redraws only what moved costs little on a
# fast one (a saver's half screen, 0.02 of a core).
ASLEEP_CEILING=0.01

# The program sleeps while nobody can see its window ($1 says why): once its start and
# last frames are over (a second under the ceiling, within 10 s), under it for 2 s more.
asleep() {
  local share
  WAIT_STEP=0 wait_until 10 eval 'share=$(cpu_share_over 1); greater $ASLEEP_CEILING "$share"' &&
    share=$(cpu_share_over 2)
  greater "$ASLEEP_CEILING" "$share" || fail "$1, the program still used $share of a core"
  note "$1: $share of a core"
}

# The program draws ($1 says when): over the sleeping ceiling for 2 s. The CPU, not the
# screen, says whether frames run: a picture may outlive the last frame on the screen.
drawing() {
  local share
  share=$(cpu_share_over 2)
  greater "$share" "$ASLEEP_CEILING" || fail "$1, the program did not draw ($share of a core)"
  note "$1: drawing ($share of a core)"
}

# The program ends at once with status 1 and exactly one "aerolume: " line on stderr.
expect_refusal() {
  local status=0
  timeout 20 "$AEROLUME" "$@" >/dev/null 2>"$WORK/refusal.err" || status=$?
  [ "$status" -eq 1 ] || fail "$* ended with status $status, expected 1"
  [ "$(wc -l <"$WORK/refusal.err")" -eq 1 ] && grep -q '^aerolume: ' "$WORK/refusal.err" ||
    fail "$* did not give one line on stderr: $(cat "$WORK/refusal.err")"
  note "$* refused: $(cat "$WORK/refusal.err")"
}

# Ends the program with Esc and checks it exits with status 0.
quit_with_escape() {
  xdotool key --window "$WINDOW" Escape
  wait_until 10 ended "$APP_PID" || fail "Esc did not end the program"
  wait_for_end "$APP_PID" 0
  [ "$STATUS" -eq 0 ] || fail "Esc ended the program with status $STATUS, expected 0"
  note "Esc ended the program with status 0"
}

# Starts the host program with a window of its own: start_host WxH+X+Y [KIND] [RRGGBB]
# (see tests/e2e/host_window.cpp); sets HOST_PID and HOST_WINDOW once it is mapped, and
# HOST_PARENT to the top-level window that holds it (KIND child).
start_host() {
  # Removed first: a background job opens its redirections only once it runs, so the
  # files could otherwise still show the previous host's id for a moment.
  local out="$WORK/host.out" err="$WORK/host.err"
  rm -f "$out" "$err"
  "$HOST" "$@" >"$out" 2>"$err" &
  HOST_PID=$!
  wait_until 10 eval '[ -s "$out" ] || ended "$HOST_PID"'
  HOST_WINDOW=$(head -n 1 "$out" 2>/dev/null)
  HOST_PARENT=$(sed -n 2p "$out" 2>/dev/null)
  [ -n "$HOST_WINDOW" ] || fail "the host window did not open: $(cat "$err" 2>/dev/null)"
  note "host window $HOST_WINDOW ($*)"
}

# Ends the host program; the X server destroys its window.
stop_host() {
  kill "$HOST_PID" 2>/dev/null
  wait "$HOST_PID" 2>/dev/null
  HOST_PID=""
}

# Starts the program (or env with it) in the background; sets APP_PID.
start_app_with() {
  "$@" >"$WORK/app.out" 2>"$WORK/app.err" &
  APP_PID=$!
}

# A second host window, on top of the others: start_cover WxH+X+Y [KIND]; sets COVER_PID
# and COVER_WINDOW.
start_cover() {
  local pid=$HOST_PID window=$HOST_WINDOW parent=$HOST_PARENT
  start_host "$@"
  COVER_PID=$HOST_PID COVER_WINDOW=$HOST_WINDOW
  HOST_PID=$pid HOST_WINDOW=$window HOST_PARENT=$parent
}
# Puts window $1 under every other child of the root (xdotool raises, but never lowers).
lower_window() {
  "$PYTHON" - "$1" <<'PY' || fail "cannot lower window $1"
import ctypes, sys
x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
display = x11.XOpenDisplay(None)
if not display:
    sys.exit(1)
x11.XLowerWindow(ctypes.c_void_p(display), ctypes.c_ulong(int(sys.argv[1], 0)))
x11.XSync(ctypes.c_void_p(display), 0)
PY
}
stop_cover() {
  kill "$COVER_PID"
  wait "$COVER_PID" 2>/dev/null
}

# Ends the program with a signal and checks status 0 and a silent stderr.
stop_app_with() {
  kill -"$1" "$APP_PID"
  expect_quiet_end "$APP_PID" 5 "SIG$1"
}

# --- The system's daemons: UPower, power-profiles-daemon and logind mocked by ---
# python3-dbusmock (the system's python3, which has the package) on a private bus in
# SYSTEM_BUS, which programs are given as their system bus (DBUS_SYSTEM_BUS_ADDRESS).
PYTHON=/usr/bin/python3

# Exits 77 (skip) without python3-dbusmock; starts the private bus, sets SYSTEM_BUS. The
# bus and its mocks run under the command prefix given (as_user), if any: a bus lets in
# only its own user's programs.
start_system_bus() {
  bus_user=("$@")
  "$PYTHON" -c 'import dbusmock' 2>/dev/null ||
    { echo "SKIP: python3-dbusmock is not installed (scripts/install-deps installs it)"; exit 77; }
  needs_tools dbus-daemon dbus-send
  "${bus_user[@]}" dbus-daemon --session --nofork --print-address=3 3>"$WORK/bus" \
    >"$WORK/bus.log" 2>&1 &
  SERVICE_PIDS+=($!)
  wait_until 10 test -s "$WORK/bus" || fail "the private bus did not start: $(cat "$WORK/bus.log")"
  SYSTEM_BUS=$(head -n 1 "$WORK/bus")
}

# Starts a mocked daemon from dbusmock's template $1 with the JSON parameters $2 and
# waits until its name $3 is on the bus; sets MOCK_PID (cleaned up with the test).
start_mock() {
  DBUS_SYSTEM_BUS_ADDRESS=$SYSTEM_BUS "${bus_user[@]}" "$PYTHON" -m dbusmock --system \
    --template "$1" --parameters "$2" >>"$WORK/mock.log" 2>&1 &
  MOCK_PID=$!
  SERVICE_PIDS+=("$MOCK_PID")
  wait_until 10 name_on_system_bus "$3" || fail "the mock of $3 did not start: $(cat "$WORK/mock.log")"
}

name_on_system_bus() {
  DBUS_SYSTEM_BUS_ADDRESS=$SYSTEM_BUS "${bus_user[@]}" dbus-send --system --print-reply \
    --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner \
    "string:$1" 2>/dev/null | grep -q 'boolean true'
}

# The private bus with UPower on it, OnBattery $1 (true or false); sets UPOWER_PID.
start_power_mocks() {
  start_system_bus
  start_mock upower "{\"OnBattery\": $1}" org.freedesktop.UPower
  UPOWER_PID=$MOCK_PID
  note "UPower mocked on a private bus, OnBattery $1"
}

# Sets a property of a mocked daemon (its UpdateProperties sends PropertiesChanged):
# set_property NAME PATH PROPERTY VALUE, VALUE true, false or a string.
set_property() {
  DBUS_SYSTEM_BUS_ADDRESS=$SYSTEM_BUS "${bus_user[@]}" "$PYTHON" - "$@" <<'PY' || fail "cannot set $3 to $4 on $1"
import sys, dbus
name, path, prop, value = sys.argv[1:]
value = dbus.Boolean(value == 'true') if value in ('true', 'false') else dbus.String(value)
dbus.SystemBus().get_object(name, path).UpdateProperties(
    name, {prop: value}, dbus_interface='org.freedesktop.DBus.Mock')
PY
  note "$3 is now $4"
}

# Reads the program's timed step (the state table's step_scale) and its frame count,
# placed by its symbol table, from its memory for $1 seconds in the background: the step
# at first, the least it came to, and the one the next frame drew with; read_steps waits
# for the end and sets STEP_BEFORE, STEP_LEAST and STEP_NEXT. A pause that is no part of a
# timed step shows as a step that drops on the first frame after it.
watch_step() {
  local step count
  step=$(nm "$AEROLUME" | awk '$3 == "_ZN8aerolume10step_scaleE" { print $1 }')
  count=$(nm "$AEROLUME" | awk '$3 == "_ZN8aerolume13frame_counterE" { print $1 }')
  [ -n "$step" ] && [ -n "$count" ] || fail "no step_scale or frame_counter in the program's symbols"
  "$PYTHON" - "$APP_PID" "$step" "$count" "$1" >"$WORK/steps.out" 2>&1 <<'PY' &
import os, struct, sys, time
pid, step_at, count_at = sys.argv[1], int(sys.argv[2], 16), int(sys.argv[3], 16)
exe = os.readlink("/proc/%s/exe" % pid)
base = min(int(l.split("-")[0], 16) for l in open("/proc/%s/maps" % pid) if l.split()[-1] == exe)
with open("/proc/%s/mem" % pid, "rb", buffering=0) as mem:
    def read(at, form):
        mem.seek(base + at)
        return struct.unpack(form, mem.read(4))[0]
    # The frame stores its step before it counts itself: once the count moves, the step
    # read after it is that frame's.
    before, count = read(step_at, "f"), read(count_at, "i")
    print("ready", flush=True)
    least, following, end = before, None, time.monotonic() + float(sys.argv[4])
    while time.monotonic() < end:
        step = read(step_at, "f")
        least = min(least, step)
        if following is None and read(count_at, "i") != count:
            following = read(step_at, "f")
        time.sleep(0.001)
print("before %.3f least %.3f next %s" % (before, least, "%.3f" % following if following is not None else "none"))
PY
  STEPS_PID=$!
  WAIT_STEP=0.1 wait_until 10 grep -q ready "$WORK/steps.out" ||
    fail "cannot read the step: $(cat "$WORK/steps.out")"
}
read_steps() {
  wait "$STEPS_PID"
  read -r _ STEP_BEFORE _ STEP_LEAST _ STEP_NEXT < <(tail -n 1 "$WORK/steps.out")
}

# --- Control from outside: a private session bus, and aerolume --control on it.

# Starts the bus and exports DBUS_SESSION_BUS_ADDRESS, so that the programs started after
# it answer there (and never on a desktop's own bus).
start_session_bus() {
  needs_tools dbus-daemon
  dbus-daemon --session --nofork --print-address=3 3>"$WORK/session_bus" \
    >"$WORK/session_bus.log" 2>&1 &
  SERVICE_PIDS+=($!)
  wait_until 10 test -s "$WORK/session_bus" ||
    fail "the private session bus did not start: $(cat "$WORK/session_bus.log")"
  DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$WORK/session_bus")
  export DBUS_SESSION_BUS_ADDRESS
}
control() { "$AEROLUME" --control "$@"; }
# The status says LINE (a regular expression for one of its lines) within 5 s ($2 says
# when): the program reports its views once a round.
expect_status() {
  local line=$1
  WAIT_STEP=0.2 wait_until 5 eval 'control status >"$WORK/status" 2>&1 && grep -qx -- "$line" "$WORK/status"' ||
    fail "$2: the status does not say '$line': $(cat "$WORK/status")"
  note "$2: $(grep -x -- "$line" "$WORK/status")"
}

# --- X desktops: Xorg on the dummy driver with two monitors, and desktop programs from
# Debian (window managers, compositing managers, desktop icons), each ended by its pid ---

# start_xorg_dummy: Xorg with the dummy driver on a free display, its screen 3200x1080 and
# two RandR monitors of different sizes, MonA 1920x1080+0+0 and MonB 1280x1024+1920+0
# (under MonB a 1280x56 strip lies outside both); exported as DISPLAY, its pid in
# XVFB_PID (and XVFB_PIDS, ended with the test). Exits 77 without Xorg and the driver, or
# where the server cannot start unprivileged.
XORG_W=3200 XORG_H=1080
start_xorg_dummy() {
  needs_tools Xorg xrandr xdotool
  [ -e /usr/lib/xorg/modules/drivers/dummy_drv.so ] ||
    { echo "SKIP: the dummy driver is not installed (xserver-xorg-video-dummy)"; exit 77; }
  # No input devices: the server must never take the machine's keyboard or mouse.
  cat >"$WORK/xorg.conf" <<CONF
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoEnableDevices" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 65536
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0 - 1000.0
  VertRefresh 5.0 - 200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual $XORG_W $XORG_H
  EndSubSection
EndSection
CONF
  local file=$WORK/xorg.${#XVFB_PIDS[@]}
  Xorg -displayfd 3 -config "$WORK/xorg.conf" -logfile "$file.log" -noreset -nolisten tcp \
    3>"$file.display" >"$file.out" 2>&1 &
  XVFB_PID=$!
  XVFB_PIDS+=("$XVFB_PID")
  if ! wait_until 20 test -s "$file.display"; then
    [ "$(id -u)" -eq 0 ] || { echo "SKIP: Xorg does not start unprivileged here"; exit 77; }
    fail "Xorg did not start: $(tail -n 5 "$file.out")"
  fi
  export DISPLAY=":$(cat "$file.display")"
  xrandr --fb ${XORG_W}x${XORG_H} --output DUMMY0 --mode 1920x1080 --pos 0x0 &&
    xrandr --setmonitor MonA 1920/508x1080/286+0+0 DUMMY0 &&
    xrandr --setmonitor MonB 1280/338x1024/270+1920+0 none ||
    fail "xrandr could not set the two monitors"
  SCREEN_W=$XORG_W SCREEN_H=$XORG_H
  note "Xorg (dummy) on $DISPLAY at ${XORG_W}x${XORG_H}, monitors MonA 1920x1080+0+0, MonB 1280x1024+1920+0"
}

# Desktop programs keep their settings and caches under $WORK/home, never the user's.
desktop_env=(env HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config"
             XDG_CACHE_HOME="$WORK/home/.cache" XDG_DATA_HOME="$WORK/home/.local/share"
             XDG_RUNTIME_DIR="$WORK/home/run")

# start_desktop_bus: a session bus of the desktop's own, its daemons (xfconfd,
# dconf-service, which the bus starts) keeping their settings under $WORK/home too; the
# desktop programs started after it, and desktop_env's commands, use it.
start_desktop_bus() {
  "${desktop_env[@]}" dbus-daemon --session --nofork --print-address=3 3>"$WORK/desktop_bus" \
    >"$WORK/desktop_bus.log" 2>&1 &
  SERVICE_PIDS+=($!)
  wait_until 10 test -s "$WORK/desktop_bus" ||
    fail "the desktop's session bus did not start: $(cat "$WORK/desktop_bus.log")"
  desktop_env+=(DBUS_SESSION_BUS_ADDRESS="$(head -n 1 "$WORK/desktop_bus")")
}
# The name the running window manager gives itself (_NET_WM_NAME of its check window).
window_manager_name() {
  local check
  check=$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | awk '/window id/ {print $NF}')
  [ -n "$check" ] && xprop -id "$check" _NET_WM_NAME 2>/dev/null | cut -d'"' -f2
}

# start_desktop VAR PROGRAM [ARGS]: starts one of the desktop's programs on $DISPLAY and
# waits until it has taken its part: a window manager (openbox, xfwm4, marco) its check
# window, picom and xcompmgr the screen's compositing-manager selection, pcmanfm,
# xfdesktop and caja a desktop window. Sets VAR to its pid (ended with the test, or
# earlier by stop_desktop VAR).
start_desktop() {
  local var=$1 program=$2
  needs_tools "$program"
  mkdir -p "$WORK/home/run"
  chmod 0700 "$WORK/home/run"
  "${desktop_env[@]}" "${@:2}" >"$WORK/$program.log" 2>&1 &
  local pid=$!
  SERVICE_PIDS+=("$pid")
  printf -v "$var" %s "$pid"
  case $program in
    openbox | xfwm4 | marco)
      wait_until 10 eval 'window_manager_name | grep -qi "${program%4}"' ;;
    picom | xcompmgr) wait_until 10 "$XPROBE" owned _NET_WM_CM_S0 ;;
    pcmanfm | xfdesktop | caja) wait_until 20 eval '[ -n "$(desktop_windows "$program")" ]' ;;
  esac || fail "$* did not take its part of the desktop: $(tail -n 3 "$WORK/$program.log")"
  running "$pid" || fail "$* ended: $(tail -n 3 "$WORK/$program.log")"
  note "$* running (pid $pid)"
}
stop_desktop() {
  local pid=${!1} kept=() other
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  printf -v "$1" %s ""
  # Out of the list the test ends: the pid may be another process's by then.
  for other in "${SERVICE_PIDS[@]}"; do [ "$other" = "$pid" ] || kept+=("$other"); done
  SERVICE_PIDS=("${kept[@]}")
}

# The mapped windows of class $1 whose type is the desktop's, one id a line.
desktop_windows() {
  local window
  for window in $(xdotool search --onlyvisible --class "^$1\$" 2>/dev/null); do
    xprop -id "$window" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q '_NET_WM_WINDOW_TYPE_DESKTOP' &&
      echo "$window"
  done
}

# The sky's share of X Y W H on the screen now (as a person sees it: under a compositing
# manager, what it composited).
sky_in_rect() { "$XPROBE" look "$@"; }

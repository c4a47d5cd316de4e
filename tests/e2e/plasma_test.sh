#!/usr/bin/env bash
# Beside KDE Plasma 5.27, headless, whose desktop (plasmashell) lies over every background
# a third program can place. On Wayland (KWin's virtual output): --background started
# before plasmashell is drawn and seen; plasmashell started says one line that names
# Plasma's desktop and the wallpaper plugin, and the program sleeps with its surfaces
# taken away, so that Plasma's desktop is what shows; plasmashell ended, the scene is drawn
# and seen again; started again, said again; the program started while plasmashell runs
# says the line at once and never covers Plasma's desktop. On X11 (kwin_x11 under Xvfb):
# Plasma's desktop windows, two levels under the root in KWin's frames, get the same line,
# and the program sleeps.
AEROLUME=$1
XPROBE=$2
KWIN_SHOT=$3
source "$(dirname "$0")/lib.sh"
kactivitymanagerd=/usr/lib/x86_64-linux-gnu/libexec/kactivitymanagerd
needs_tools kwin_wayland kwin_x11 plasmashell dbus-daemon
[ -x "$kactivitymanagerd" ] || { echo "SKIP: kactivitymanagerd is not installed"; exit 77; }
[ -x "$KWIN_SHOT" ] || fail "the KWin screenshot program is missing (third argument): '$KWIN_SHOT'"
unset WAYLAND_DISPLAY DISPLAY
# One session bus for KWin, plasmashell and the program, started with the desktop's home
# (kglobalaccel and the like, which it starts, keep their settings under $WORK).
mkdir -p -m 0700 "$WORK/home/run"
start_desktop_bus
export DBUS_SESSION_BUS_ADDRESS=${desktop_env[-1]#DBUS_SESSION_BUS_ADDRESS=}
PLASMA_PID="" KAM_PID=""

# The share of KWin's screen that is the scene's sky, now.
shot_sky() { "$KWIN_SHOT" "$WORK/shot.png" && "$XPROBE" sky "$WORK/shot.png"; }
# Waits (up to 20 s) until the scene's sky fills over half of KWin's screen ($1 says when).
scene_shown() {
  local sky=0
  wait_until 20 eval 'sky=$(shot_sky) && greater "$sky" 0.5' ||
    fail "$1: the scene does not show (sky $sky of KWin's screen)"
  note "$1: sky $sky of KWin's screen"
}
# Waits (up to 20 s) until Plasma's desktop shows and none of the scene ($1 says when).
plasma_shown() {
  local sky=1
  wait_until 20 eval 'sky=$(shot_sky) && greater 0.01 "$sky"' ||
    fail "$1: the scene still shows over Plasma's desktop (sky $sky of KWin's screen)"
  note "$1: Plasma's desktop shows, no sky"
}
# The program's lines name Plasma's desktop and the plugin, $2 of them ($1 says when).
plasma_said() {
  local want=$2 count=0
  wait_until 20 eval 'count=$(grep -c "^aerolume: Plasma.s desktop (plasmashell) covers $where.*\"Aerolume\" as the wallpaper type.*io.github.aerolume.wallpaper" "$WORK/app.err"); [ "$count" -eq "$want" ]' ||
    fail "$1: $count lines, not $want, name Plasma's desktop: $(cat "$WORK/app.err")"
  [ "$(wc -l <"$WORK/app.err")" -eq "$want" ] || fail "$1: other lines: $(cat "$WORK/app.err")"
  note "$1: $(tail -n 1 "$WORK/app.err")"
}
start_plasma() {
  "${session[@]}" plasmashell >>"$WORK/plasmashell.log" 2>&1 &
  PLASMA_PID=$!
  SERVICE_PIDS+=("$PLASMA_PID")
}
stop_plasma() { stop_desktop PLASMA_PID; }
# Ends the program, which has said its lines, with SIGTERM: status 0.
stop_program() {
  kill -TERM "$APP_PID"
  wait_for_end "$APP_PID" 5 "SIGTERM"
  [ "$STATUS" -eq 0 ] || fail "SIGTERM ended the program with status $STATUS"
}

# --- Wayland: KWin, a copy of it (the installed one carries a file capability that a
# container refuses), on a virtual output.
SOCKET=aerolume-plasma-$$
cp "$(command -v kwin_wayland)" "$WORK/kwin_wayland"
"${desktop_env[@]}" KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 "$WORK/kwin_wayland" --virtual \
  --width "$SCREEN_W" --height "$SCREEN_H" --socket "$SOCKET" --no-lockscreen \
  --no-global-shortcuts --no-kactivities >"$WORK/kwin_wayland.log" 2>&1 &
KWIN_PID=$!
SERVICE_PIDS+=("$KWIN_PID")
wait_until 30 test -S "$WORK/home/run/$SOCKET" ||
  fail "kwin_wayland did not start: $(tail -n 5 "$WORK/kwin_wayland.log")"
session=("${desktop_env[@]}" WAYLAND_DISPLAY="$SOCKET" QT_QPA_PLATFORM=wayland)
"${session[@]}" "$kactivitymanagerd" >"$WORK/kactivitymanagerd.log" 2>&1 &
KAM_PID=$!
SERVICE_PIDS+=("$KAM_PID")
where="every output"
status_line="  Virtual-0 ${SCREEN_W}x${SCREEN_H}"
start_background() { start_app_with "${session[@]}" "$AEROLUME" --background --seed 5; }

# Started before plasmashell, as at login: drawn and seen; plasmashell comes over it.
start_background
scene_shown "--background under KWin alone"
start_plasma
plasma_said "plasmashell started after the program" 1
expect_status "$status_line asleep: another program's desktop window is over it" \
  "plasmashell started after the program"
asleep "under Plasma's desktop"
plasma_shown "plasmashell started after the program"
# plasmashell gone: drawn and seen again; back: said again, asleep, Plasma's desktop shown.
stop_plasma
expect_status "$status_line drawn" "plasmashell ended"
drawing "plasmashell ended"
scene_shown "plasmashell ended"
start_plasma
plasma_said "plasmashell started again" 2
asleep "under Plasma's desktop started again"
plasma_shown "plasmashell started again"
stop_program
# Started while plasmashell runs: the line at once, asleep, Plasma's desktop left in view.
start_background
plasma_said "the program started beside plasmashell" 1
asleep "the program started beside plasmashell"
plasma_shown "the program started beside plasmashell"
stop_program
stop_plasma
stop_desktop KAM_PID
stop_desktop KWIN_PID

# --- X11: kwin_x11 and plasmashell under Xvfb.
start_xvfb
session=("${desktop_env[@]}" DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb)
"${session[@]}" kwin_x11 >"$WORK/kwin_x11.log" 2>&1 &
KWIN_PID=$!
SERVICE_PIDS+=("$KWIN_PID")
wait_until 20 eval 'window_manager_name | grep -q KWin' ||
  fail "kwin_x11 did not start: $(tail -n 5 "$WORK/kwin_x11.log")"
"${session[@]}" "$kactivitymanagerd" >"$WORK/kactivitymanagerd.log" 2>&1 &
KAM_PID=$!
SERVICE_PIDS+=("$KAM_PID")
start_plasma
wait_until 30 eval '[ -n "$(desktop_windows plasmashell)" ]' ||
  fail "plasmashell made no desktop window: $(tail -n 5 "$WORK/plasmashell.log")"
where="monitor screen"
start_app_with "${session[@]}" "$AEROLUME" --background --seed 5
plasma_said "--background beside Plasma's desktop on X11" 1
expect_status "  screen ${SCREEN_W}x${SCREEN_H} asleep: another program's desktop window is over it" \
  "--background beside Plasma's desktop on X11"
asleep "--background beside Plasma's desktop on X11"
stop_program
echo "PASS"

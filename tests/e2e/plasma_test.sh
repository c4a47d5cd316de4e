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
# As Plasma's wallpaper (io.github.aerolume.wallpaper, chosen through plasmashell's
# scripting interface), on Wayland: the scene fills the screen under Plasma's panel, drawn
# by an aerolume process of its own that plasmashell started; a full-screen window pauses
# it and its end resumes it; the program killed is started again and plasmashell goes on;
# another wallpaper chosen ends it; plasmashell restarted brings it back, and plasmashell
# killed takes it along; a program that keeps failing is started again three times and no
# more. The lock screen's greeter shows it too. On two screens one program draws a view
# for each, and a full-screen window on one, or the session locked, stops what is not
# seen. And on X11, the wallpaper, asleep under a maximized window.
# Usage: plasma_test.sh AEROLUME XPROBE KWIN_SHOT [QML_FOLDER WALLPAPER_PACKAGE] (the
# wallpaper's rows need the last two: the QML module's folder and the package's source)
AEROLUME=$1
XPROBE=$2
KWIN_SHOT=$3
PLASMA_QML=${4:-}
WALLPAPER_PACKAGE=${5:-}
source "$(dirname "$0")/lib.sh"
kactivitymanagerd=/usr/lib/x86_64-linux-gnu/libexec/kactivitymanagerd
needs_tools kwin_wayland kwin_x11 plasmashell dbus-daemon kscreen-doctor
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
# start_kwin_wayland [COUNT]: KWin on COUNT virtual outputs (1 unless given), each of
# the screen's size, side by side; with kactivitymanagerd, which plasmashell needs.
SOCKET=aerolume-plasma-$$
cp "$(command -v kwin_wayland)" "$WORK/kwin_wayland"
start_kwin_wayland() {
  "${desktop_env[@]}" KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 "$WORK/kwin_wayland" --virtual \
    --width "$SCREEN_W" --height "$SCREEN_H" --output-count "${1:-1}" --socket "$SOCKET" \
    --no-lockscreen --no-global-shortcuts --no-kactivities >"$WORK/kwin_wayland.log" 2>&1 &
  KWIN_PID=$!
  SERVICE_PIDS+=("$KWIN_PID")
  wait_until 30 test -S "$WORK/home/run/$SOCKET" ||
    fail "kwin_wayland did not start: $(tail -n 5 "$WORK/kwin_wayland.log")"
  "${session[@]}" "$kactivitymanagerd" >"$WORK/kactivitymanagerd.log" 2>&1 &
  KAM_PID=$!
  SERVICE_PIDS+=("$KAM_PID")
}
session=("${desktop_env[@]}" WAYLAND_DISPLAY="$SOCKET" QT_QPA_PLATFORM=wayland)
start_kwin_wayland
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

# --- Wayland: the scene as Plasma's wallpaper.
plasma_script() {
  gdbus call --session -d org.kde.plasmashell -o /PlasmaShell \
    -m org.kde.PlasmaShell.evaluateScript "$1" 2>&1
}
# Every desktop's wallpaper becomes the plugin $1.
set_wallpaper() {
  local said
  said=$(plasma_script "var d = desktops(); for (var i = 0; i < d.length; i++) { d[i].wallpaperPlugin = '$1'; } print(d.length + ' ' + d[0].wallpaperPlugin)")
  [[ $said == *"$1"* ]] || fail "plasmashell did not take the wallpaper $1: $said"
  note "wallpaper $1: $said"
}
# The wallpaper's programs: the children of plasmashell (or of WALLPAPER_HOST) that
# draw frames for it.
wallpaper_pids() {
  ps -o pid=,args= --ppid "${WALLPAPER_HOST:-$PLASMA_PID}" 2>/dev/null |
    awk '$2 ~ /aerolume$/ && / --frames-to / { print $1 }'
}
# Waits (up to 20 s) for one wallpaper program other than $2 ($1 says when); sets WALLPAPER_PID.
wallpaper_started() {
  local before=${2:-} host=${WALLPAPER_HOST:-$PLASMA_PID}
  WALLPAPER_PID=
  wait_until 20 eval 'WALLPAPER_PID=$(wallpaper_pids); [ "$(echo "$WALLPAPER_PID" | wc -w)" -eq 1 ] && [ "$WALLPAPER_PID" != "$before" ]' ||
    fail "$1: no wallpaper program runs (plasmashell's children: $(wallpaper_pids | tr '\n' ' ')): $(tail -n 5 "$WORK/plasmashell.log")"
  note "$1: the wallpaper's program runs, pid $WALLPAPER_PID, a child of $(ps -o comm= -p "$host") ($host)"
}
# Whether process $1 still runs: a zombie that nobody reaped (the program's parent gone)
# has ended.
alive() { [ -e "/proc/$1" ] && ! grep -q '^[0-9]* (.*) Z' "/proc/$1/stat" 2>/dev/null; }
# Plasma's panel still drawn, at the bottom of the screen: not sky.
panel_shown() {
  local sky
  sky=$("$XPROBE" sky "$WORK/shot.png" 0 $((SCREEN_H - 24)) "$SCREEN_W" 24)
  greater 0.2 "$sky" || fail "$1: the bottom of the screen is sky ($sky), not Plasma's panel"
  note "$1: Plasma's panel at the bottom (sky $sky there)"
}
wallpaper_rows=""
if [ -z "$PLASMA_QML" ] || [ ! -f "$PLASMA_QML/io/github/aerolume/wallpaper/qmldir" ]; then
  note "SKIP the wallpaper's rows: its QML module was not built (Qt 5 Quick not found)"
else
  wallpaper_rows=1
  mkdir -p "$WORK/home/.local/share/plasma/wallpapers"
  cp -r "$WALLPAPER_PACKAGE" "$WORK/home/.local/share/plasma/wallpapers/io.github.aerolume.wallpaper"
  # The plugin starts this build's program, with the seed of the rows above (the sky's
  # share of the screen depends on the clouds).
  printf '#!/bin/sh\nexec "%s" --seed 5 "$@"\n' "$AEROLUME" >"$WORK/aerolume"
  chmod +x "$WORK/aerolume"
  session+=(QML2_IMPORT_PATH="$PLASMA_QML" AEROLUME_PROGRAM="$WORK/aerolume")
  start_plasma
  wait_until 30 eval 'plasma_script "print(1)" | grep -q "1"' ||
    fail "plasmashell's scripting interface does not answer: $(tail -n 5 "$WORK/plasmashell.log")"
  set_wallpaper io.github.aerolume.wallpaper
  wallpaper_started "the wallpaper chosen"
  scene_shown "the wallpaper chosen"
  panel_shown "the wallpaper chosen"
  frames_status="  frames ${SCREEN_W}x${SCREEN_H}"
  expect_status "$frames_status drawn" "the wallpaper chosen"
  # A full-screen window over the wallpaper pauses its program; gone, the program draws.
  "${session[@]}" weston-simple-egl -f >"$WORK/fullscreen.log" 2>&1 &
  FULLSCREEN_PID=$!
  SERVICE_PIDS+=("$FULLSCREEN_PID")
  expect_status "$frames_status asleep: covered by another window" "a full-screen window over the wallpaper"
  APP_PID=$WALLPAPER_PID
  asleep "a full-screen window over the wallpaper"
  stop_desktop FULLSCREEN_PID
  expect_status "$frames_status drawn" "the full-screen window closed"
  drawing "the full-screen window closed"
  # A maximized window, which KWin's scripting interface maximizes: asleep as well.
  "${session[@]}" weston-simple-egl >"$WORK/window.log" 2>&1 &
  WINDOW_PID=$!
  SERVICE_PIDS+=("$WINDOW_PID")
  # maximize CAPTION: KWin maximizes the windows of that caption; true once the status
  # says the wallpaper is covered.
  maximize() {
    echo "workspace.clientList().forEach(function (c) { if (c.caption == '$1') c.setMaximize(true, true); });" >"$WORK/maximize.js"
    gdbus call --session -d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.loadScript "$WORK/maximize.js" aerolume-maximize >/dev/null
    gdbus call --session -d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.start >/dev/null
    gdbus call --session -d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.unloadScript aerolume-maximize >/dev/null
    control status >"$WORK/status" 2>&1 && grep -qx "$frames_status asleep: covered by another window" "$WORK/status"
  }
  wait_until 10 maximize simple-egl || fail "a maximized window over the wallpaper: not asleep: $(cat "$WORK/status")"
  note "a maximized window over the wallpaper: $(grep asleep "$WORK/status")"
  asleep "a maximized window over the wallpaper"
  stop_desktop WINDOW_PID
  expect_status "$frames_status drawn" "the maximized window closed"
  # The program killed: plasmashell goes on, and starts it again.
  first=$WALLPAPER_PID
  kill -KILL "$first"
  wallpaper_started "the wallpaper's program killed" "$first"
  running "$PLASMA_PID" || fail "plasmashell ended with the wallpaper's program"
  scene_shown "the wallpaper's program killed"
  # Another wallpaper: the program ends and its frames file goes.
  set_wallpaper org.kde.color
  wait_until 10 eval '[ -z "$(wallpaper_pids)" ] && ! alive "$WALLPAPER_PID"' ||
    fail "the program still runs with another wallpaper"
  frames_left=$(find "$WORK/home/run" -name 'aerolume-wallpaper-*' | wc -l)
  [ "$frames_left" -eq 0 ] || fail "$frames_left frames files left behind in the runtime folder"
  plasma_shown "another wallpaper chosen"
  # Kept in Plasma's settings: plasmashell started again shows the scene again.
  set_wallpaper io.github.aerolume.wallpaper
  wallpaper_started "the wallpaper chosen again"
  # plasmashell writes its settings a moment later: ended before, it would forget them.
  wait_until 10 grep -qx 'wallpaperplugin=io.github.aerolume.wallpaper' \
    "$WORK/home/.config/plasma-org.kde.plasma.desktop-appletsrc" ||
    fail "plasmashell did not keep the wallpaper in its settings"
  stop_plasma
  wait_until 10 eval '! alive "$WALLPAPER_PID"' || fail "plasmashell ended, the program runs on"
  start_plasma
  wallpaper_started "plasmashell started again"
  scene_shown "plasmashell started again"
  # plasmashell killed, with no time to end anything: the program goes with it.
  kill -KILL "$PLASMA_PID"
  wait_until 10 eval '! alive "$WALLPAPER_PID"' || fail "plasmashell killed, the program runs on"
  note "plasmashell killed: its wallpaper's program ended too"
  stop_plasma
  # A program that fails at once, every time: started again three times, then the
  # wallpaper gives up and says so, and plasmashell goes on.
  printf '#!/bin/sh\necho started >>"%s"\nexit 1\n' "$WORK/starts" >"$WORK/failing"
  chmod +x "$WORK/failing"
  kept=("${session[@]}")
  session+=(AEROLUME_PROGRAM="$WORK/failing")
  start_plasma
  wait_until 30 grep -q 'Aerolume wallpaper: aerolume ended 4 times (last: status 1); not started again' \
    "$WORK/plasmashell.log" || fail "a failing program: the wallpaper did not give up ($(grep -c . "$WORK/starts" 2>/dev/null) starts)"
  sleep 2
  [ "$(grep -c . "$WORK/starts")" -eq 4 ] || fail "a failing program was started $(grep -c . "$WORK/starts") times, not 4"
  running "$PLASMA_PID" || fail "plasmashell ended with the failing program"
  note "a failing program: started 4 times, then the wallpaper gave up and said so"
  stop_plasma
  session=("${kept[@]}")
  # The same plugin as the lock screen's wallpaper (kscreenlockerrc's Greeter group): the
  # greeter, in its testing mode (which locks nothing), shows the scene, drawn by a
  # program of its own that ends with it.
  greeter=/usr/lib/x86_64-linux-gnu/libexec/kscreenlocker_greet
  if [ -x "$greeter" ]; then
    printf '[Greeter]\nWallpaperPlugin=io.github.aerolume.wallpaper\n' >>"$WORK/home/.config/kscreenlockerrc"
    "${session[@]}" "$greeter" --testing >"$WORK/greeter.log" 2>&1 &
    WALLPAPER_HOST=$!
    SERVICE_PIDS+=("$WALLPAPER_HOST")
    wallpaper_started "the lock screen's greeter"
    scene_shown "the lock screen's greeter"
    kill -KILL "$WALLPAPER_HOST"
    wait_until 10 eval '! alive "$WALLPAPER_PID"' || fail "the greeter killed, the program runs on"
    note "the greeter killed: its wallpaper's program ended too"
  else
    note "SKIP the lock screen's row: kscreenlocker_greet is not installed"
  fi
  unset WALLPAPER_HOST
  # Two screens: one program draws one scene into a view for each screen's wallpaper,
  # and a full-screen window on one screen stops that view alone.
  stop_desktop KAM_PID
  stop_desktop KWIN_PID
  start_kwin_wayland 2
  start_plasma
  wait_until 30 eval 'plasma_script "print(1)" | grep -q "1"' ||
    fail "plasmashell's scripting interface does not answer on two screens"
  set_wallpaper io.github.aerolume.wallpaper
  wallpaper_started "two screens"
  sleep 2  # the screens' wallpapers settle: the same program draws on
  [ "$(wallpaper_pids)" = "$WALLPAPER_PID" ] || fail "two screens: the program was started again"
  files=$(tr '\0' '\n' <"/proc/$WALLPAPER_PID/cmdline" | grep -cx -- --frames-to)
  [ "$files" -eq 2 ] || fail "two screens: the program draws $files frames files, not 2"
  APP_PID=$WALLPAPER_PID
  for view in 1 2; do expect_status "  frames-$view ${SCREEN_W}x${SCREEN_H} drawn" "two screens"; done
  sky_of_both() {
    "$KWIN_SHOT" --workspace "$WORK/shot.png" &&
      left=$("$XPROBE" sky "$WORK/shot.png" 0 0 "$SCREEN_W" $((SCREEN_H - 48))) &&
      right=$("$XPROBE" sky "$WORK/shot.png" "$SCREEN_W" 0 "$SCREEN_W" $((SCREEN_H - 48))) &&
      greater "$left" 0.5 && greater "$right" 0.5
  }
  wait_until 20 sky_of_both || fail "two screens: the scene is not on both (sky $left and $right)"
  note "two screens: sky $left and $right"
  "${session[@]}" weston-simple-egl -f >"$WORK/fullscreen.log" 2>&1 &
  FULLSCREEN_PID=$!
  SERVICE_PIDS+=("$FULLSCREEN_PID")
  wait_until 10 eval 'control status >"$WORK/status" 2>&1 && [ "$(grep -c "^  frames-[12] .* asleep: covered by another window$" "$WORK/status")" -eq 1 ] && [ "$(grep -c "^  frames-[12] .* drawn$" "$WORK/status")" -eq 1 ]' ||
    fail "a full-screen window on one of two screens: not that view alone asleep: $(cat "$WORK/status")"
  note "a full-screen window on one of two screens: $(grep "asleep" "$WORK/status")"
  # The covered screen's file gets no frame, the other's gets them: the frames published
  # (the header's count at byte 40) over a second, file by file in the program's order.
  mapfile -t frames_files < <(tr '\0' '\n' <"/proc/$WALLPAPER_PID/cmdline" | grep -A1 -x -- --frames-to | grep -vx -- '--frames-to\|--')
  published() { od -An -t u8 -j 40 -N 8 "$1" | tr -d ' '; }
  covered=$(grep -o "^  frames-[12] .* asleep" "$WORK/status" | cut -c10)
  seen=$((3 - covered))
  before_covered=$(published "${frames_files[covered - 1]}") before_seen=$(published "${frames_files[seen - 1]}")
  sleep 1
  after_covered=$(published "${frames_files[covered - 1]}") after_seen=$(published "${frames_files[seen - 1]}")
  [ "$after_covered" -eq "$before_covered" ] && [ "$after_seen" -gt "$before_seen" ] ||
    fail "a full-screen window on one of two screens: frames $before_covered to $after_covered on the covered screen, $before_seen to $after_seen on the other"
  note "a full-screen window on one of two screens: frames $before_seen to $after_seen on the seen screen, none on the covered"
  stop_desktop FULLSCREEN_PID
  for view in 1 2; do expect_status "  frames-$view ${SCREEN_W}x${SCREEN_H} drawn" "the full-screen window closed"; done
  # The session locked (the screen saver's ActiveChanged, from a stand-in here: this KWin
  # runs without its locker): no screen is seen, and the program sleeps until unlocked.
  "${session[@]}" "$PYTHON" -m dbusmock --session org.freedesktop.ScreenSaver /ScreenSaver \
    org.freedesktop.ScreenSaver >"$WORK/locker.log" 2>&1 &
  LOCKER_PID=$!
  SERVICE_PIDS+=("$LOCKER_PID")
  locked() {
    gdbus call --session -d org.freedesktop.ScreenSaver -o /ScreenSaver \
      -m org.freedesktop.DBus.Mock.EmitSignal org.freedesktop.ScreenSaver ActiveChanged b "[<$1>]" >/dev/null 2>&1
  }
  wait_until 10 locked false || fail "the screen saver's stand-in did not start: $(cat "$WORK/locker.log")"
  locked true
  for view in 1 2; do
    expect_status "  frames-$view ${SCREEN_W}x${SCREEN_H} asleep: the screen is blanked (screen saver or DPMS)" "the session locked"
  done
  asleep "the session locked"
  locked false
  for view in 1 2; do expect_status "  frames-$view ${SCREEN_W}x${SCREEN_H} drawn" "the session unlocked"; done
  drawing "the session unlocked"
  stop_desktop LOCKER_PID
  # A screen disabled (kscreen-doctor, through KWin's output management): its wallpaper
  # goes, and the same program, its scene going on, draws the screen left; enabled
  # again, both, the scene on each.
  APP_PID=$WALLPAPER_PID
  for turn in disable enable; do
    "${session[@]}" kscreen-doctor "output.Virtual-1.$turn" >"$WORK/kscreen.log" 2>&1 ||
      fail "kscreen-doctor could not $turn the second screen: $(cat "$WORK/kscreen.log")"
    if [ "$turn" = disable ]; then
      expect_status "  frames ${SCREEN_W}x${SCREEN_H} drawn" "the second screen disabled"
    else
      for view in 1 2; do expect_status "  frames-$view ${SCREEN_W}x${SCREEN_H} drawn" "the second screen enabled"; done
      wait_until 20 sky_of_both || fail "the second screen enabled: the scene is not on both (sky $left and $right)"
      note "the second screen enabled: sky $left and $right"
    fi
    [ "$(wallpaper_pids)" = "$APP_PID" ] || fail "the second screen ${turn}d: the program was started again"
  done
  note "the second screen disabled and enabled: the same program ($APP_PID) throughout"
  # One screen's wallpaper set to another pace: a program for each screen, each at its
  # wallpaper's pace; the paces agreeing again, one program for both. (pace:views, from
  # the status of every program on the bus)
  pace_of_one() {
    plasma_script "var d = desktops()[1]; d.currentConfigGroup = ['Wallpaper', 'io.github.aerolume.wallpaper', 'General']; d.writeConfig('MaxFps', $1); print('set')" | grep -q set ||
      fail "plasmashell did not set one wallpaper's pace to $1"
  }
  paces() {
    control status 2>/dev/null | awk '/^aerolume --frames-to/ { if (n) print pace ":" n; pace = $5; n = 0 }
      /^  frames/ { n++ } END { if (n) print pace ":" n }' | sort | tr '\n' ' '
  }
  pace_of_one 20
  wait_until 20 eval '[ "$(paces)" = "20:1 30:1 " ] && [ "$(wallpaper_pids | wc -w)" -eq 2 ]' ||
    fail "one screen's wallpaper at another pace: the programs' paces and views are '$(paces)', not '20:1 30:1 '"
  note "one screen's wallpaper at another pace: a program for each screen (pace:views $(paces))"
  pace_of_one 30
  wait_until 20 eval '[ "$(paces)" = "30:2 " ] && [ "$(wallpaper_pids)" = "$APP_PID" ]' ||
    fail "the paces agreeing again: the programs' paces and views are '$(paces)', not '30:2 ' from the first program"
  note "the paces agreeing again: the first program draws both (pace:views $(paces))"
  stop_plasma
fi
stop_desktop KAM_PID
stop_desktop KWIN_PID

# --- X11: kwin_x11 and plasmashell under Xvfb.
start_xvfb
session=("${desktop_env[@]}" DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb)
[ -n "$wallpaper_rows" ] && session+=(QML2_IMPORT_PATH="$PLASMA_QML" AEROLUME_PROGRAM="$WORK/aerolume")
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
# The wallpaper on X11 too: the scene over most of the screen, drawn by a child of
# plasmashell.
if [ -n "$wallpaper_rows" ]; then
  set_wallpaper io.github.aerolume.wallpaper
  wallpaper_started "the wallpaper on X11"
  sky=0
  wait_until 20 eval 'grab "$WORK/shot.png" && sky=$("$XPROBE" sky "$WORK/shot.png") && greater "$sky" 0.5' ||
    fail "the wallpaper on X11: the scene does not show (sky $sky of the screen)"
  note "the wallpaper on X11: sky $sky of the screen"
  # Paused there as well under a maximized window, and drawn again once it goes.
  APP_PID=$WALLPAPER_PID
  "${session[@]}" xmessage -geometry 400x300+10+10 cover >/dev/null 2>&1 &
  COVER_PID=$!
  SERVICE_PIDS+=("$COVER_PID")
  wait_until 10 maximize xmessage || fail "a maximized window on X11: not asleep: $(cat "$WORK/status")"
  note "a maximized window on X11: $(grep asleep "$WORK/status")"
  asleep "a maximized window on X11"
  stop_desktop COVER_PID
  expect_status "$frames_status drawn" "the maximized window on X11 closed"
  drawing "the maximized window on X11 closed"
fi
echo "PASS"

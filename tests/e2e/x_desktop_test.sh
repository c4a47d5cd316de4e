#!/usr/bin/env bash
# The X desktop background: without Wayland, --background draws in desktop windows of its
# own, one per RandR monitor, tried on Xorg's dummy driver with two monitors of different
# sizes and the real desktop programs. Each monitor shows a scene of its own in a window of
# the desktop type that lets clicks through, nothing is drawn outside the monitors, and
# another program's window stays visible: on a bare server, under openbox, openbox with
# picom (xrender, glx) and with xcompmgr. Beside the desktops of pcmanfm, xfdesktop (under
# openbox and xfwm4) and caja (under marco) one line names the program as its users know
# it and says how to let the scene through, and that way works; a desktop program started
# again is followed, the stacking deciding (over the scene: asleep and said again; under
# it: drawn).
# A monitor one window covers is not drawn; every monitor covered, or the server's screen
# saver on, is asleep; a monitor removed and added back is followed; --output picks one
# monitor (its monitor removed: said once, asleep until it is back, even before the first
# frame), and a missing name is refused in one line; --root under a compositing manager
# is refused in one line, and one that comes later is said once and slept through; a
# desktop window destroyed by another program ends the run with status 0.
AEROLUME=$1
XPROBE=$2
HOST=${3:-}
source "$(dirname "$0")/lib.sh"
start_session_bus
[ -x "$HOST" ] || fail "the host window program is missing (third argument): '$HOST'"
needs_tools xprop xwininfo xset openbox picom xcompmgr pcmanfm xfwm4 xfdesktop marco caja gsettings
unset WAYLAND_DISPLAY
start_xorg_dummy
MON_A="0 0 1920 1080" MON_B="1920 0 1280 1024" GAP="1920 1024 1280 56"

start_background() { start_app_with "$AEROLUME" --background --seed 5 "$@"; }

# Waits until the scene fills half of each rectangle "X Y W H" given after $1 (what runs).
scene_on() {
  local rect
  for rect in "${@:2}"; do
    WAIT_STEP=0.2 wait_for_sky "sky_in_rect $rect" 0.5 "$1: the scene does not show on the monitor at $rect"
    note "$1: sky $SKY of $rect"
  done
}

# The program's desktop windows as "X Y W H" on the screen, one a line, sorted; " clicks"
# follows a window whose input shape is not empty (in a window manager's frame, where the
# program takes the buttons to hand them to the root).
desktop_places() {
  local window
  for window in $(desktop_windows aerolume); do
    echo "$(WINDOW=$window window_place)$([ "$("$XPROBE" input "$window")" = 0 ] || echo " clicks")"
  done | sort
}
# expect_windows WHAT "X Y W H[ clicks]"...: the desktop windows are these, each of the
# desktop type (waits up to 10 s).
expect_windows() {
  local want got
  want=$(printf '%s\n' "${@:2}" | sort)
  wait_until 10 eval 'got=$(desktop_places); [ "$got" = "$want" ]' ||
    fail "$1: the desktop windows lie at [${got//$'\n'/; }], expected [${want//$'\n'/; }]"
  note "$1: desktop windows at [${want//$'\n'/; }]"
}
# The program's desktop window at X Y W H.
window_on() {
  local window
  for window in $(desktop_windows aerolume); do
    [ "$(WINDOW=$window window_place)" = "$*" ] && echo "$window" && return
  done
  fail "no desktop window at $*"
}
# The share of the window's own picture (under a compositing manager: even where it is
# covered) that changes over 1.5 s.
window_moves() { "$XPROBE" changes "$1" 1.5 || fail "cannot grab window $1"; }
nothing_in_gap() {
  local sky
  sky=$(sky_in_rect $GAP)
  greater 0.01 "$sky" || fail "$1: the strip under MonB outside both monitors is drawn (sky $sky)"
}

# The program has written exactly one line on stderr, matching $2 ($1 says after what).
said_once() {
  [ "$(wc -l <"$WORK/app.err")" -eq 1 ] && grep -q "$2" "$WORK/app.err" ||
    fail "$1: not one line on stderr matching $2: $(cat "$WORK/app.err")"
  note "$1: $(cat "$WORK/app.err")"
}
# Ends the program that said something with SIGTERM: status 0.
stop_said() {
  kill -TERM "$APP_PID"
  wait_for_end "$APP_PID" 5 "SIGTERM"
  [ "$STATUS" -eq 0 ] || fail "SIGTERM ended the program with status $STATUS"
}

# The other program's window (orange) shows whole on the screen ($1 says when; within 5 s).
host_visible() {
  local shown=0
  # shellcheck disable=SC2086
  wait_until 5 eval 'shown=$("$XPROBE" look $(WINDOW=$HOST_WINDOW window_place) ff8000) &&
                     greater "$shown" 0.99' ||
    fail "$1: the other program's window is hidden (only $shown of it shows)"
  note "$1: the other program's window still shows"
}

# The desktops, each started over the one before: the scene on both monitors, in windows
# of its own, the gap left alone, the other window visible while it runs and after.
start_host 300x200+200+200 double ff8000
OPENBOX_PID="" COMPOSITOR_PID=""
while read -r desktop; do
  case $desktop in
    openbox) start_desktop OPENBOX_PID openbox --sm-disable ;;
    openbox+picom-xrender) start_desktop COMPOSITOR_PID picom --backend xrender ;;
    openbox+picom-glx)
      stop_desktop COMPOSITOR_PID
      start_desktop COMPOSITOR_PID picom --backend glx ;;
    openbox+xcompmgr)
      stop_desktop COMPOSITOR_PID
      start_desktop COMPOSITOR_PID xcompmgr ;;
  esac
  start_background
  scene_on "$desktop" "$MON_A" "$MON_B"
  # Unframed on a bare server: clicks fall through to the root.
  if [ "$desktop" = bare ]; then
    expect_windows "$desktop" "$MON_A" "$MON_B"
  else
    expect_windows "$desktop" "$MON_A clicks" "$MON_B clicks"
  fi
  nothing_in_gap "$desktop"
  host_visible "$desktop"
  if [ "$desktop" = bare ]; then
    # Raised by another program, a desktop window goes back to the bottom.
    xdotool windowraise "$(window_on $MON_A)"
    host_visible "a desktop window raised by another program"
  fi
  stop_app_with TERM
  host_visible "$desktop, once the program ended"
  case $desktop in
    openbox)
      # --root draws on the monitors of the root; a compositing manager that comes is said
      # once and slept through, and once it goes the root is drawn again.
      start_app_with "$AEROLUME" --root
      scene_on "--root under openbox" "$MON_A" "$MON_B"
      nothing_in_gap "--root under openbox"
      start_desktop COMPOSITOR_PID picom --backend xrender
      asleep "--root once picom owns the screen"
      said_once "--root once picom came" '^aerolume: .*--background'
      stop_desktop COMPOSITOR_PID
      drawing "--root once picom is gone"
      stop_said ;;
    openbox+picom-xrender) expect_refusal --root ;;
  esac
done <<'DESKTOPS'
bare
openbox
openbox+picom-xrender
openbox+picom-glx
openbox+xcompmgr
DESKTOPS
stop_host

# Under xcompmgr (which lets a window's own picture be read under a cover): a monitor that
# one window covers is not drawn while the other is; both covered, asleep; uncovered,
# drawn again. The server's screen saver on: asleep; off: drawn.
start_background
scene_on "a cover on MonB" "$MON_A" "$MON_B"
start_cover 1280x1024+1920+0 override
sleep 1
# Both windows over the same 1.5 s.
"$XPROBE" changes "$(window_on $MON_A)" 1.5 >"$WORK/moves.a" &
moved=$(window_moves "$(window_on $MON_B)")
wait $! || fail "cannot grab MonA's window"
[ "$moved" = 0.0000 ] || fail "MonB under a full-screen window is still drawn ($moved of it changed in 1.5 s)"
moved=$(cat "$WORK/moves.a")
greater "$moved" 0 || fail "MonA beside a covered MonB is not drawn"
note "MonB under a full-screen window: not drawn; MonA: drawn ($moved changed in 1.5 s)"
expect_status "  MonB 1280x1024 asleep: covered by a full-screen window" "a cover on MonB"
expect_status "  MonA 1920x1080 drawn" "a cover on MonB"
xdotool windowsize --sync "$COVER_WINDOW" $XORG_W $XORG_H && xdotool windowmove --sync "$COVER_WINDOW" 0 0
asleep "both monitors under one window"
stop_cover
drawing "both monitors uncovered"
xset s blank && xset s activate
asleep "the server's screen saver on"
expect_status "  MonA 1920x1080 asleep: the screen is blanked (screen saver or DPMS)" "the saver on"
xset s reset
drawing "the server's screen saver off"
# A monitor removed, then added back: its window goes (the run goes on), then comes again.
xrandr --delmonitor MonB
expect_windows "MonB removed" "$MON_A clicks"
xrandr --setmonitor MonB 1280/338x1024/270+1920+0 none
expect_windows "MonB back" "$MON_A clicks" "$MON_B clicks"
scene_on "MonB back" "$MON_B"
# Another program destroys a desktop window: the run ends with status 0.
destroy_window "$(window_on $MON_A)"
wait_for_end "$APP_PID" 5 "a desktop window destroyed"
[ "$STATUS" -eq 0 ] || fail "a desktop window destroyed by another program ended the run with $STATUS"
note "a desktop window destroyed by another program: status 0"

# --output picks one monitor by its RandR name; a name no monitor has is refused.
start_background --output MonB
expect_windows "--output MonB" "$MON_B clicks"
scene_on "--output MonB" "$MON_B"
sky=$(sky_in_rect $MON_A)
greater 0.05 "$sky" || fail "with --output MonB, MonA shows the scene too (sky $sky)"
# Its monitor removed while running: said once, nothing drawn, back when it is.
xrandr --delmonitor MonB
expect_windows "--output MonB, MonB removed"
asleep "--output MonB, MonB removed"
said_once "--output MonB, MonB removed" '^aerolume: .*MonB'
xrandr --setmonitor MonB 1280/338x1024/270+1920+0 none
expect_windows "--output MonB, MonB back" "$MON_B clicks"
scene_on "--output MonB, MonB back" "$MON_B"
stop_said
# The first desktop window dropped before the first frame: the window made next takes
# over its context, and the scene starts there.
STOP_LIB=${4:-}
start_app_stopped "after glXMakeCurrent" --background --seed 5 --output MonB
xrandr --delmonitor MonB
kill -CONT "$APP_PID"
expect_windows "--output MonB, MonB removed before the first frame"
xrandr --setmonitor MonB 1280/338x1024/270+1920+0 none
expect_windows "--output MonB, MonB back for the first frame" "$MON_B clicks"
scene_on "--output MonB, MonB back for the first frame" "$MON_B"
stop_said
expect_refusal --background --output MonC
grep -q MonC "$WORK/refusal.err" || fail "the refusal of --output MonC does not name it"

# The desktop windows of class $1 raised over the others.
raise_desktop() {
  local window
  for window in $(desktop_windows "$1"); do xdotool windowraise "$window"; done
}
# said_again WHEN PROGRAM: PROGRAM's desktop over the scene again: MonA asleep, and the
# line said a second time.
said_again() {
  local program=$2
  wait_until 20 eval '[ "$(grep -c "desktop of $program" "$WORK/app.err")" -eq 2 ]' ||
    fail "$1: not said once more: $(cat "$WORK/app.err")"
  expect_status "  MonA 1920x1080 asleep: another program's desktop window is over it" "$1"
}
# pcmanfm's desktop windows cover both monitors: one line names pcmanfm, and nothing is
# drawn under them.
stop_desktop COMPOSITOR_PID
start_desktop PCMANFM_PID pcmanfm --desktop
start_background
wait_until 20 test -s "$WORK/app.err" || fail "beside pcmanfm's desktop the program said nothing"
asleep "beside pcmanfm's desktop"
said_once "beside pcmanfm's desktop" '^aerolume: the desktop of pcmanfm covers .*(pcmanfm --desktop-off)'
# The stacking decides: a window that covers a monitor from under the program's desktop
# window hides nothing there, the same window raised does. pcmanfm's desktop started
# again comes under the scene (openbox puts a new desktop window under the others): the
# scene is drawn, never a still picture on show; raised over it, it is said once more.
stop_desktop PCMANFM_PID
drawing "pcmanfm's desktop gone"
# Another program's desktop window over MonB alone: under the program's it hides nothing,
# raised over it MonB sleeps.
start_cover 1280x1024+1920+0 override
xprop -id "$COVER_WINDOW" -f _NET_WM_WINDOW_TYPE 32a -set _NET_WM_WINDOW_TYPE _NET_WM_WINDOW_TYPE_DESKTOP
lower_window "$COVER_WINDOW"
expect_status "  MonB 1280x1024 drawn" "a desktop window under MonB's"
xdotool windowraise "$COVER_WINDOW"
expect_status "  MonB 1280x1024 asleep: another program's desktop window is over it" \
  "that desktop window raised"
stop_cover
start_desktop PCMANFM_PID pcmanfm --desktop
expect_status "  MonA 1920x1080 drawn" "pcmanfm's desktop started again, under the scene"
drawing "pcmanfm's desktop started again, under the scene"
raise_desktop pcmanfm
said_again "pcmanfm's desktop raised over the scene" pcmanfm
stop_said
stop_desktop PCMANFM_PID

# Xfce's and MATE's desktops, in a session bus of their own (xfconfd and dconf-service
# keep their settings there). Each line names the program as its users know it and says
# how to let the scene through; that way works; the program started again is followed.
start_desktop_bus
# The way through that xfdesktop's line gives: it ends.
quit_xfdesktop() {
  "${desktop_env[@]}" xfdesktop --quit
  wait_until 10 ended "$XFDESKTOP_PID" || fail "xfdesktop --quit left xfdesktop running"
  stop_desktop XFDESKTOP_PID
}
# xfdesktop under openbox, which puts the program's new desktop window under it (and
# xfdesktop's, started again, over the program's): its desktop covers the output's
# size, MonA.
start_desktop XFDESKTOP_PID xfdesktop
start_background
wait_until 20 test -s "$WORK/app.err" || fail "beside xfdesktop's desktop the program said nothing"
expect_status "  MonA 1920x1080 asleep: another program's desktop window is over it" \
  "beside xfdesktop's desktop"
said_once "beside xfdesktop's desktop" \
  "^aerolume: the desktop of xfdesktop (Xfce's desktop) covers monitor MonA.*(xfdesktop --quit)"
quit_xfdesktop
expect_status "  MonA 1920x1080 drawn" "xfdesktop ended by xfdesktop --quit"
start_desktop XFDESKTOP_PID xfdesktop
said_again "xfdesktop started again, over the scene" xfdesktop
stop_said
# Under xfwm4, Xfce's own window manager, the program's desktop window lies over
# xfdesktop's, and xfdesktop started again comes under it: the scene is drawn and seen.
quit_xfdesktop
stop_desktop OPENBOX_PID
start_desktop XFWM4_PID xfwm4
start_desktop XFDESKTOP_PID xfdesktop
start_background
scene_on "over xfdesktop's desktop under xfwm4" "$MON_A"
quit_xfdesktop
start_desktop XFDESKTOP_PID xfdesktop
expect_status "  MonA 1920x1080 drawn" "xfdesktop started again under xfwm4, under the scene"
scene_on "xfdesktop started again under xfwm4, under the scene" "$MON_A"
[ ! -s "$WORK/app.err" ] || fail "over xfdesktop's desktop the program said: $(cat "$WORK/app.err")"
stop_said
quit_xfdesktop
stop_desktop XFWM4_PID
# caja's desktop under marco, MATE's window manager, which puts the program's new desktop
# window under caja's; the setting the line gives takes caja's desktop away.
start_desktop MARCO_PID marco
start_desktop CAJA_PID caja -n --force-desktop
start_background
wait_until 20 test -s "$WORK/app.err" || fail "beside caja's desktop the program said nothing"
asleep "beside caja's desktop"
said_once "beside caja's desktop" "^aerolume: the desktop of caja (MATE's file manager) covers \
monitor Mon.*(gsettings set org.mate.background show-desktop-icons false)"
"${desktop_env[@]}" gsettings set org.mate.background show-desktop-icons false
wait_until 20 eval '[ -z "$(desktop_windows caja)" ]' || fail "caja's desktop stayed, turned off"
drawing "caja's desktop turned off"
"${desktop_env[@]}" gsettings set org.mate.background show-desktop-icons true
stop_desktop CAJA_PID
start_desktop CAJA_PID caja -n --force-desktop
expect_status "  MonA 1920x1080 drawn" "caja started again, under the scene"
drawing "caja started again, under the scene"
raise_desktop caja
said_again "caja's desktop raised over the scene" caja
stop_said
echo "PASS"

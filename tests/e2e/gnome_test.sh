#!/usr/bin/env bash
# Under the real GNOME Shell (headless, on Wayland, as an unprivileged user) with the
# package's extension enabled before the shell starts, on two monitors of different
# sizes: --background alone is refused with a line that names the extension; the
# extension's program draws the scene as each monitor's background, under the top bar,
# its windows out of the overview, Alt+Tab and the window list and not shown themselves;
# a full-screen window on every monitor pauses the program, one monitor seen again
# resumes it, and a maximized window there pauses it again; a monitor turned off and on
# again loses its window and gets a new one; the program killed is started again, and
# after a few crashes in a row it is given up with a notification; the extension
# disabled ends the program and gives the monitors GNOME's own background back. On X11
# (under Xvfb) the extension runs the program's own X desktop background, which sleeps
# under a full-screen window.
AEROLUME=$1
XPROBE=$2
EXTENSION=$3
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/gnome_lib.sh"
needs_tools weston-flower pgrep
# The monitors, side by side: the first (the primary, with the top bar) 1280x1024, the
# second 800x600 at its right; the stage is their union.
FIRST="0 30 1280 994" SECOND="1280 0 800 600" TOP_BAR="0 0 1280 24"

start_gnome_shell wayland --virtual-monitor 1280x1024 --virtual-monitor 800x600

# --- --background without the extension: the line says how to use it ---
XDG_RUNTIME_DIR=$RUN WAYLAND_DISPLAY=gnome-test expect_refusal --background
grep -q "no layer shell.*gnome-extensions enable $UUID" "$WORK/refusal.err" ||
  fail "--background on GNOME does not name the extension: $(cat "$WORK/refusal.err")"

# --- The scene as each monitor's background, the top bar over it ---
wait_until 10 program_pid >/dev/null || fail "the extension started no program: $(tail "$WORK/shell.log")"
APP_PID=$(program_pid)
wait_for_sky "shell_sky $FIRST" 0.5 "the first monitor does not show the scene"
first=$SKY
wait_for_sky "shell_sky $SECOND" 0.5 "the second monitor does not show the scene"
top=$("$XPROBE" sky "$WORK/sky.png" $TOP_BAR)
greater 0.1 "$top" || fail "the top bar is not drawn over the scene (sky share $top)"
note "the scene on both monitors (sky share $first and $SKY), the top bar over it (sky share $top)"

# Its windows, one per monitor: in the overview, in Alt+Tab, skipping the taskbar (as the
# window list reads it), shown; asked of the shell's own overview and Alt+Tab.
ours='global.get_window_actors().filter(a => a.meta_window.get_title().startsWith("Aerolume background"))'
window_states() {
  shell_value "$ours.map(a => [
    imports.ui.workspace.Workspace.prototype._isOverviewWindow(a.meta_window),
    imports.ui.altTab.getWindows(null).includes(a.meta_window), a.meta_window.skip_taskbar,
    a.visible].join(' ')).join(', ')"
}
expect_hidden_windows() {
  wait_until 5 eval '[ "$(window_states)" = "false false true false, false false true false" ]' ||
    fail "$1: the windows (in the overview, in Alt+Tab, skipping the taskbar, shown) are '$(window_states)'"
}
expect_hidden_windows "on two monitors"
note "two windows, each out of the overview, Alt+Tab and the window list, and hidden"

# --- A full-screen window on each monitor pauses it; one seen again resumes it ---
cover() {
  as_client env WAYLAND_DISPLAY=gnome-test weston-flower >/dev/null 2>&1 &
  SERVICE_PIDS+=($!)
}
flowers='global.get_window_actors().map(a => a.meta_window).filter(w => w.get_wm_class() !== "io.github.aerolume.Aerolume.Background")'
cover
cover
wait_until 10 eval '[ "$(shell_value "$flowers.length")" = 2 ]' || fail "the two covering windows did not come"
shell_eval "$flowers.forEach((w, i) => { w.move_to_monitor(i); w.make_fullscreen(); }); 1" >/dev/null
asleep "a full-screen window on each monitor"
as_client "$AEROLUME" --control status >"$WORK/status" 2>&1
grep -q "paused from outside" "$WORK/status" || fail "the status does not say paused: $(cat "$WORK/status")"
shell_eval "$flowers.forEach(w => { if (w.get_monitor() === 1) w.unmake_fullscreen(); }); 1" >/dev/null
WAIT_STEP=0.5 wait_until 10 eval 'greater "$(cpu_share_over 1)" $ASLEEP_CEILING' ||
  fail "the second monitor seen again, the program did not draw again"
note "the second monitor seen again: drawing"
shell_eval "$flowers.forEach(w => { if (w.get_monitor() === 1) w.maximize(Meta.MaximizeFlags.BOTH); }); 1" >/dev/null
asleep "a maximized window on the second monitor, a full-screen one on the first"
shell_eval "$flowers.forEach(w => w.delete(global.get_current_time())); 1" >/dev/null

# --- Monitors that go and come are followed: the second one turned off, then on ---
# Through mutter's display configuration (as the Displays settings do), for this session
# only: the monitors named, side by side from the left.
monitors() {
  as_client "$PYTHON" - "$@" <<'PY' || fail "cannot set the monitors to $*"
import sys, dbus
config = dbus.Interface(dbus.SessionBus().get_object('org.gnome.Mutter.DisplayConfig',
    '/org/gnome/Mutter/DisplayConfig'), 'org.gnome.Mutter.DisplayConfig')
serial, monitors, _, _ = config.GetCurrentState()
logical, x = [], 0
for monitor in monitors:
    if monitor[0][0] in sys.argv[1:]:
        mode = monitor[1][0]
        logical.append((x, 0, 1.0, dbus.UInt32(0), not logical, [(monitor[0][0], mode[0], {})]))
        x += int(mode[1])
config.ApplyMonitorsConfig(serial, dbus.UInt32(1), logical, dbus.Dictionary({}, signature='sv'))
PY
}
windows_now() { shell_value "$ours.map(a => a.meta_window.get_title()).join(', ')"; }
monitors Meta-0
wait_until 10 eval '[ "$(windows_now)" = "Aerolume background at 0,0" ]' ||
  fail "the second monitor off, the windows are: $(windows_now)"
monitors Meta-0 Meta-1
wait_until 10 eval '[ "$(windows_now)" = "Aerolume background at 0,0, Aerolume background at 1280,0" ]' ||
  fail "the second monitor on again, the windows are: $(windows_now)"
wait_for_sky "shell_sky $SECOND" 0.5 "the second monitor on again does not show the scene"
expect_hidden_windows "the second monitor on again"
note "the second monitor off and on again: its window went and came, the scene on it (sky share $SKY)"

# --- Killed, it is started again; after a few crashes in a row it is given up ---
for crash in 1 2 3; do
  old=$APP_PID
  kill -KILL "$old"
  wait_until 10 eval 'APP_PID=$(program_pid); [ -n "$APP_PID" ] && [ "$APP_PID" != "$old" ]' ||
    fail "crash $crash: the program was not started again"
  note "crash $crash: started again (pid $APP_PID)"
done
kill -KILL "$APP_PID"
APP_PID=""
sleep 3
[ -z "$(program_pid)" ] || fail "crash 4: the program was started again (pid $(program_pid))"
said=$(shell_value 'Main.messageTray.getSources().map(s => s.notifications.map(n => n.title + ": " + n.bannerBodyText)).flat().join(" | ")')
[[ $said == *"Aerolume background: "*"crashed 4 times"* ]] ||
  fail "after the fourth crash no notification says so: '$said'"
note "crash 4: given up, and said: ${said##*Aerolume background: }"
wait_for_sky "shell_sky $FIRST" -1 "no picture"
greater 0.05 "$SKY" || fail "given up, the scene is still shown (sky share $SKY)"

# --- Disabled: the program ends and GNOME's background is back ---
# The shell's own word for the extension's state (ENABLED, DISABLED, ...). An enable sent
# before the shell has seen the disable may meet no change at all.
extension_state() {
  shell_value "const states = imports.misc.extensionUtils.ExtensionState;
    Object.keys(states).find(k => states[k] === Main.extensionManager.lookup('$UUID').state)"
}
as_client gnome-extensions disable "$UUID" || fail "gnome-extensions cannot disable $UUID"
wait_until 10 eval '[ "$(extension_state)" = DISABLED ]' ||
  fail "gnome-extensions disable: the extension is $(extension_state)"
as_client gnome-extensions enable "$UUID"
wait_until 10 program_pid >/dev/null || fail "enabled again, the extension started no program"
APP_PID=$(program_pid)
wait_for_sky "shell_sky $FIRST" 0.5 "enabled again, the first monitor does not show the scene"
as_client gnome-extensions disable "$UUID"
wait_for_end "$APP_PID" 10 "the extension disabled"
wait_until 10 eval 'greater 0.05 "$(shell_sky $FIRST)"' ||
  fail "the extension disabled, the scene is still shown (sky share $(shell_sky $FIRST))"
note "disabled: the program ended, GNOME's background is back (sky share $(shell_sky $FIRST))"
stop_gnome_shell

# --- GNOME on X11: the program's own X desktop windows, as a plain child of the shell ---
start_xvfb
enable_extensions
start_gnome_shell x11
wait_until 10 program_pid >/dev/null || fail "on X11 the extension started no program"
APP_PID=$(program_pid)
[ "$(tr '\0' ' ' <"/proc/$APP_PID/cmdline")" = "$AEROLUME --background " ] ||
  fail "on X11 the extension runs: $(tr '\0' ' ' <"/proc/$APP_PID/cmdline")"
wait_for_sky "shell_sky $FIRST" 0.5 "on X11 the scene is not the background"
note "on X11: $(tr '\0' ' ' <"/proc/$APP_PID/cmdline")draws the X desktop (sky share $SKY)"
as_client env DISPLAY="$DISPLAY" xmessage -geometry 1280x1024+0+0 cover >/dev/null 2>&1 &
SERVICE_PIDS+=($!)
wait_until 10 eval '[ "$(shell_value "global.get_window_actors().filter(a => a.meta_window.get_wm_class() === \"Xmessage\").length")" = 1 ]' ||
  fail "on X11 the covering window did not come"
shell_eval 'global.get_window_actors().forEach(a => { if (a.meta_window.get_wm_class() === "Xmessage") a.meta_window.make_fullscreen(); }); 1' >/dev/null
asleep "on X11, under a full-screen window"
stop_gnome_shell

#!/usr/bin/env bash
# Under the real MATE screen saver, with the built package in place as a user installs it
# and "Aerolume" chosen as its only saver (the settings its preferences dialog writes):
# activating the saver starts the command of the package's entry in the saver's window,
# the scene fills the screen, and deactivating the saver ends the program. Prints the time
# from --activate to the first frame on screen, the sky's share of the screen, and the
# time from --deactivate to the program's end.
# Usage: mate_screensaver_test.sh XPROBE CPACK BUILD_DIR VERSION. Nothing is installed:
# the saver's session runs in a private mount namespace, where the unpacked package lies
# over /usr (its program, the link in the hack folder, the screensavers entry); that
# needs root, and the test skips (77) where it cannot have one.
XPROBE=$1 cpack=$2 build=$3 version=$4
AEROLUME=""  # the program here is the package's, started by the saver
source "$(dirname "$0")/lib.sh"
needs_tools mate-screensaver mate-screensaver-command dbus-run-session gsettings setsid \
            dpkg dpkg-deb unshare mount help2man
[ "$(id -u)" -eq 0 ] ||
  { echo "SKIP: the package is laid over /usr in a private mount namespace, which needs root"; exit 77; }
saver_command=/usr/libexec/xscreensaver/aerolume

# The saver, its D-Bus session and what they start share one session (setsid), where the
# program is looked for and which ends with the test, and one mount namespace, which
# goes with them.
SESSION_PID=""
finish() {
  [ -n "$SESSION_PID" ] && kill -- "-$SESSION_PID" 2>/dev/null
  [ -n "$SESSION_PID" ] && wait "$SESSION_PID" 2>/dev/null
  cleanup
}
trap finish EXIT

note "making and unpacking the package"
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$WORK/out" >"$WORK/cpack.log" 2>&1 ||
  fail "cpack could not make the package: $(cat "$WORK/cpack.log")"
deb=$WORK/out/aerolume_${version}_$(dpkg --print-architecture).deb
dpkg-deb -x "$deb" "$WORK/root" || fail "dpkg-deb could not unpack $deb"
# The package's files over the system's, read-only, seen only inside the namespace.
in_package_namespace=(unshare --mount bash -c
  'mount -t overlay aerolume -o "lowerdir=$0/usr:/usr" /usr && exec "$@"' "$WORK/root")
"${in_package_namespace[@]}" true 2>"$WORK/unshare.err" ||
  { echo "SKIP: no private mount namespace with the package over /usr here: $(cat "$WORK/unshare.err")"; exit 77; }

# The saver runs as a desktop user's would, unprivileged: as root the test runs it as
# nobody, whose home lies under $WORK.
as_desktop_user
mkdir -p "$WORK/home"
chown -R "$user" "$WORK/home"
start_xvfb
# A plain session: the package's entry is found where a user's system has it, in
# /usr/share/applications/screensavers (the temporary home has none of its own).
session=(env -i DISPLAY="$DISPLAY" HOME="$WORK/home" PATH=/usr/bin:/bin NO_AT_BRIDGE=1
         "${as_user[@]}")
# In the session's bus: the choice as the preferences dialog stores it, the bus address
# for the commands below, then the saver itself.
setsid "${in_package_namespace[@]}" "${session[@]}" dbus-run-session -- bash -c '
  gsettings set org.mate.screensaver mode single &&
  gsettings set org.mate.screensaver themes "['"'screensavers-aerolume'"']" &&
  echo "$DBUS_SESSION_BUS_ADDRESS" >"$HOME/bus" &&
  exec mate-screensaver --no-daemon --debug' >"$WORK/saver.log" 2>&1 &
SESSION_PID=$!
wait_until 10 test -s "$WORK/home/bus" || fail "the D-Bus session did not start: $(cat "$WORK/saver.log")"
command_() {
  env -i DISPLAY="$DISPLAY" DBUS_SESSION_BUS_ADDRESS="$(cat "$WORK/home/bus")" \
    "${as_user[@]}" mate-screensaver-command "$@"
}
seconds_between() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f\n", b - a }'; }

# Asked until the saver listens on the bus.
wait_until 10 eval 'activated=$EPOCHREALTIME; command_ --activate >/dev/null 2>&1' ||
  fail "mate-screensaver did not answer --activate: $(cat "$WORK/saver.log")"
WAIT_STEP=0.05 wait_until 10 eval 'APP_PID=$(pgrep -s "$SESSION_PID" -x aerolume | head -n 1); [ -n "$APP_PID" ]' ||
  fail "mate-screensaver started no aerolume: $(grep -i -e command -e theme "$WORK/saver.log")"
started=$(tr '\0' ' ' <"/proc/$APP_PID/cmdline")
[ "$started" = "$saver_command -root " ] ||
  fail "mate-screensaver started '$started', not the entry's '$saver_command -root'"
cmp -s "/proc/$APP_PID/exe" "$WORK/root/usr/bin/aerolume" ||
  fail "the link in the hack folder did not lead to the package's aerolume"
tr '\0' '\n' <"/proc/$APP_PID/environ" | grep -q '^XSCREENSAVER_WINDOW=0x[0-9a-f]' ||
  fail "the saver did not name its window in XSCREENSAVER_WINDOW"

WAIT_STEP=0.05 wait_for_sky screen_sky 0.25 "the saver's window does not show the scene"
note "the first frame was on screen $(seconds_between "$activated" "$SKY_AT") s after --activate"
sleep 2
sky=$(screen_sky)
greater "$sky" 0.25 || fail "the scene left the screen (sky share $sky)"
note "the sky covers $sky of the screen"

deactivated=$EPOCHREALTIME
command_ --deactivate >/dev/null || fail "mate-screensaver did not answer --deactivate"
# Ended and reaped by the saver (or a zombie awaiting it).
WAIT_STEP=0.02 wait_until 10 gone "$APP_PID" || fail "aerolume still runs 10 s after --deactivate"
note "--deactivate ended aerolume after $(seconds_between "$deactivated" "$EPOCHREALTIME") s"
APP_PID=""
command_ --exit >/dev/null 2>&1
echo "PASS"

#!/usr/bin/env bash
# Under the real xscreensaver, set up as the README says (the one line
# `programs: aerolume -root` in ~/.xscreensaver, aerolume on PATH): blanking the screen
# starts the program in the saver's window, the scene fills the screen at a saver's pace
# (at most half a core), and switching the saver off ends the program.
AEROLUME=$1
XPROBE=$2
source "$(dirname "$0")/lib.sh"
needs_tools xscreensaver xscreensaver-command

# xscreensaver starts no saver for root: as root it runs as nobody, whose home and PATH
# folder lie under $WORK.
as_desktop_user
mkdir -p "$WORK/home" "$WORK/bin"
chmod 0755 "$WORK/bin"
ln -s "$(realpath "$AEROLUME")" "$WORK/bin/aerolume"
echo 'programs: aerolume -root' >"$WORK/home/.xscreensaver"
chown -R "$user" "$WORK/home"

start_xvfb
saver=(env -i DISPLAY="$DISPLAY" HOME="$WORK/home" PATH="$WORK/bin:/usr/bin:/bin" "${as_user[@]}")
"${saver[@]}" xscreensaver --no-splash --verbose >"$WORK/saver.log" 2>&1 &
HOST_PID=$!  # lib.sh's clean-up ends it
# The system's savers come after the user's line, so -select 1 blanks the screen with
# ours (-activate picks one at random). It is asked until xscreensaver listens.
WAIT_STEP=0.2 wait_until 10 "${saver[@]}" xscreensaver-command -select 1 >/dev/null 2>&1
# After a fade of about 3 s, the saver's child starts aerolume --root in its window.
# The program is the one this saver's log names (another test's may run as the same user).
forked() {
  APP_PID=$(sed -n 's/.*forked "aerolume --root" in pid \([0-9]*\) on window.*/\1/p' \
              "$WORK/saver.log" | head -n 1)
  [ -n "$APP_PID" ]
}
WAIT_STEP=0.2 wait_until 20 forked ||
  fail "the log does not show aerolume --root in the saver's window: $(cat "$WORK/saver.log")"
[ "$(cat "/proc/$APP_PID/comm" 2>/dev/null)" = aerolume ] ||
  fail "xscreensaver's pid $APP_PID is not a running aerolume: $(cat "$WORK/saver.log")"

wait_for_sky screen_sky 0.25 "the saver's window does not show the scene"
share=$(cpu_share_over 5)
note "the scene fills the screen (sky share $SKY) at $share of a core"
greater 0.5 "$share" || fail "aerolume used $share of a core as a saver, not a saver's pace"

"${saver[@]}" xscreensaver-command -deactivate >/dev/null
# Ended or a zombie (nothing here reaps the orphans of xscreensaver's child).
wait_until 10 gone "$APP_PID" || fail "aerolume still runs 10 s after -deactivate"
note "-deactivate ended aerolume"
APP_PID=""
echo "PASS"

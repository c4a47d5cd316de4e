#!/usr/bin/env bash
# Under the real xscreensaver, set up as the README says (the one line
# `programs: aerolume -root` in ~/.xscreensaver, aerolume on PATH): blanking the screen
# starts the program in the saver's window, the scene fills the screen at a saver's pace
# (at most half a core), and switching the saver off ends the program.
AEROLUME=$1
XPROBE=$2
source "$(dirname "$0")/lib.sh"
for tool in xscreensaver xscreensaver-command setpriv; do
  command -v "$tool" >/dev/null 2>&1 ||
    { echo "SKIP: $tool is not installed (scripts/install-deps installs it)"; exit 77; }
done

# xscreensaver starts no saver for root, so as root it runs as nobody, who must be able
# to pass through $WORK to its home and to the folder that puts aerolume on PATH.
as_user=()
saver_user=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  saver_user=nobody
  chmod 0711 "$WORK"
fi
home=$WORK/home bin=$WORK/bin
mkdir -p "$home" "$bin"
chmod 0755 "$bin"
ln -s "$(realpath "$AEROLUME")" "$bin/aerolume"
echo 'programs: aerolume -root' >"$home/.xscreensaver"
chown -R "$saver_user" "$home"

SAVER_PID=""
stop_saver() {
  [ -n "$SAVER_PID" ] || return 0
  kill "$SAVER_PID" 2>/dev/null
  wait "$SAVER_PID" 2>/dev/null
  # Left only when the test failed: it may be the program that did not end.
  [ -n "$APP_PID" ] && kill -KILL "$APP_PID" 2>/dev/null
  APP_PID="" SAVER_PID=""
}
trap 'stop_saver; cleanup' EXIT

# The aerolume our xscreensaver started: the child of its xscreensaver-gfx.
saver_hack() {
  local gfx
  for gfx in $(pgrep -P "$SAVER_PID"); do pgrep -u "$saver_user" -P "$gfx" -x aerolume; done
}
# True while the process lives (a zombie left to a parent that does not reap is gone).
alive() { [ -r "/proc/$1/stat" ] && awk '{ exit $3 == "Z" }' "/proc/$1/stat"; }
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f\n", b - a }'; }

start_xvfb
saver=(env -i DISPLAY="$DISPLAY" HOME="$home" PATH="$bin:/usr/bin:/bin" "${as_user[@]}")
"${saver[@]}" xscreensaver --no-splash --verbose >"$WORK/saver.log" 2>&1 &
SAVER_PID=$!
# xscreensaver puts the system-wide programs after the user's, so ours is the first:
# -select 1 blanks the screen with it (-activate would pick one at random). Asked before
# xscreensaver listens, -select fails; it is asked again until it answers.
for _ in $(seq 50); do
  "${saver[@]}" xscreensaver-command -select 1 >/dev/null 2>&1 && break
  alive "$SAVER_PID" || fail "xscreensaver ended: $(cat "$WORK/saver.log")"
  sleep 0.2
done
# It starts after a fade of about 3 s.
start=$(now)
for _ in $(seq 100); do
  APP_PID=$(saver_hack | head -n 1)
  [ -n "$APP_PID" ] && break
  sleep 0.2
done
[ -n "$APP_PID" ] || fail "xscreensaver started no aerolume: $(cat "$WORK/saver.log")"
note "xscreensaver started aerolume (pid $APP_PID) $(since "$start") s after -select 1"
grep -q 'forked "aerolume --root" in pid '"$APP_PID"' on window' "$WORK/saver.log" ||
  fail "the log does not show aerolume --root in the saver's window: $(cat "$WORK/saver.log")"

sky=0
for _ in $(seq 40); do
  grab "$WORK/screen.png"
  sky=$("$XPROBE" sky "$WORK/screen.png")
  greater "$sky" 0.25 && break
  sleep 0.5
done
note "sky-coloured share of the screen: $sky"
greater "$sky" 0.25 || fail "the saver's window does not show the scene (sky share $sky)"

share=$(cpu_share_over 5)
note "CPU share of aerolume in xscreensaver's window: $share of a core"
greater "$share" 0.5 &&
  fail "aerolume used $share of a core as a saver; its default pace there is 30 frames a second"

start=$(now)
"${saver[@]}" xscreensaver-command -deactivate >/dev/null || fail "xscreensaver-command -deactivate failed"
for _ in $(seq 100); do
  alive "$APP_PID" || break
  sleep 0.1
done
alive "$APP_PID" && fail "aerolume still runs 10 s after -deactivate"
note "aerolume ended $(since "$start") s after -deactivate"
APP_PID=""

"${saver[@]}" xscreensaver-command -exit >/dev/null || fail "xscreensaver-command -exit failed"
for _ in $(seq 50); do
  alive "$SAVER_PID" || break
  sleep 0.1
done
alive "$SAVER_PID" && fail "xscreensaver still runs 5 s after -exit"
echo "PASS"

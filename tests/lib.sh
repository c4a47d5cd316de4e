# Shared by the test scripts (end-to-end, reliability, package): messages, the tool check,
# waiting for a condition, the program's quiet end, the sky on screen, a private Xvfb, the
# desktop user, and a scratch folder ($WORK) that goes with everything started here.
# Source it first; the scripts that start the program set APP_PID, whose output goes to
# $WORK/app.out and $WORK/app.err.

set -u
WORK=$(mktemp -d)
APP_PID="" HOST_PID="" XVFB_PID="" XVFB_PIDS=()
# Services a test starts for the program (a private bus, the daemons mocked on it).
SERVICE_PIDS=()

fail() { echo "FAIL: $*" >&2; exit 1; }
note() { echo "-- $*"; }
# A command that does not exist (a helper renamed, a tool gone) fails the test rather than
# leaving its check undone; bash looks for it in a child, which signals the test.
trap 'exit 1' USR1
command_not_found_handle() { echo "FAIL: no command $1" >&2; kill -USR1 $$; return 127; }

# Exits 77 (skip) when one of the named tools is missing.
needs_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 ||
      { echo "SKIP: $tool is not installed (scripts/install-deps installs it)"; exit 77; }
  done
}

cleanup() {
  # Everything is ended, whatever fails on the way: a script under set -e (the benchmarks,
  # the package test) would otherwise stop at the first process already gone.
  set +e
  # CONT as well: a test may leave the program stopped, and a stopped one never ends.
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null && kill -CONT "$APP_PID" 2>/dev/null &&
    wait "$APP_PID" 2>/dev/null
  [ -n "$HOST_PID" ] && kill "$HOST_PID" 2>/dev/null && wait "$HOST_PID" 2>/dev/null
  local pid
  for pid in "${SERVICE_PIDS[@]}" "${XVFB_PIDS[@]}"; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  rm -rf "$WORK"
}
trap cleanup EXIT

# wait_until SECONDS COMMAND...: runs COMMAND every WAIT_STEP seconds (0.1 unless set)
# until it succeeds, for up to SECONDS, and at least SECONDS / WAIT_STEP times however
# slowly a loaded machine runs them; false when it never did.
wait_until() {
  local step=${WAIT_STEP:-0.1} deadline tries=0 least
  deadline=$(awk -v now="$EPOCHREALTIME" -v s="$1" 'BEGIN { printf "%.6f", now + s }')
  least=$(awk -v s="$1" -v step="$step" 'BEGIN { print (step > 0 ? int(s / step + 0.5) : 0) }')
  shift
  until "$@"; do
    tries=$((tries + 1))
    [ "$tries" -lt "$least" ] ||
      awk -v now="$EPOCHREALTIME" -v end="$deadline" 'BEGIN { exit !(now < end) }' || return 1
    sleep "$step"
  done
}

# True when $1 > $2 (decimal numbers).
greater() { awk -v a="$1" -v b="$2" 'BEGIN{exit !(a > b)}'; }

running() { kill -0 "$1" 2>/dev/null; }
ended() { ! running "$1"; }
# Ended, or a zombie no one has reaped yet (the program a host started).
gone() { ! awk '{ exit $3 == "Z" }' "/proc/$1/stat" 2>/dev/null; }

# wait_for_end PID SECONDS [WHAT]: waits for the process (a child of this shell) to end
# by itself after WHAT; sets STATUS, and clears APP_PID when it was the program.
wait_for_end() {
  wait_until "$2" ended "$1" || fail "${3:+$3: }the program is still running after $2 s"
  STATUS=0
  wait "$1" || STATUS=$?
  [ "$1" != "$APP_PID" ] || APP_PID=""
}

# expect_quiet_end PID SECONDS WHAT: the program ends by itself within SECONDS, with status
# 0 and nothing on stderr; WHAT says what ended it.
expect_quiet_end() {
  wait_for_end "$1" "$2" "$3"
  [ "$STATUS" -eq 0 ] || fail "$3 ended the program with status $STATUS"
  [ -s "$WORK/app.err" ] && fail "stderr after $3: $(cat "$WORK/app.err")"
  note "$3: status 0, nothing on stderr"
}

# wait_for_sky GRABBER THRESHOLD WHAT: waits (up to 30 s, a look every WAIT_STEP seconds,
# 0.5 unless set) until more than THRESHOLD of what GRABBER looks at is sky: GRABBER is a
# command, its words split at spaces, that prints the sky-coloured share (0..1) it sees
# now. Sets SKY to that share and SKY_AT to when it was grabbed. Fails with "WHAT (sky
# share S)", or at once when the program has ended.
wait_for_sky() {
  SKY=0
  WAIT_STEP=${WAIT_STEP:-0.5} wait_until 30 sky_above "$1" "$2" || fail "$3 (sky share $SKY)"
}
sky_above() {
  [ -z "$APP_PID" ] || running "$APP_PID" ||
    fail "the program ended: $(cat "$WORK/app.err" 2>/dev/null)"
  SKY_AT=$EPOCHREALTIME
  SKY=$($1)
  SKY=${SKY:-0}
  greater "$SKY" "$2"
}
# The sky's share of the whole screen now (aerolume_xprobe in $XPROBE).
screen_sky() { "$XPROBE" grab "$WORK/screen.png" && "$XPROBE" sky "$WORK/screen.png"; }

# start_xvfb [ARGS]: an Xvfb of its own (the ARGS, or a SCREEN_W x SCREEN_H screen), so that
# parallel runs do not collide; sets XVFB_PID and XVFB_DISPLAY. Without ARGS it is the
# test's screen, exported as DISPLAY. Exits 77 without Xvfb.
SCREEN_W=1280
SCREEN_H=1024
start_xvfb() {
  needs_tools Xvfb xdotool
  local file=$WORK/xvfb.${#XVFB_PIDS[@]} args=("$@")
  [ $# -gt 0 ] || args=(-screen 0 "${SCREEN_W}x${SCREEN_H}x24")
  # -noreset: the server stays as it is when its last client leaves, so a script that
  # starts and stops programs one after another does not meet it in the middle of a reset.
  Xvfb -displayfd 3 "${args[@]}" -nolisten tcp -noreset \
    3>"$file.display" >"$file.log" 2>&1 &
  XVFB_PID=$!
  XVFB_PIDS+=("$XVFB_PID")
  wait_until 10 test -s "$file.display" || fail "Xvfb did not start: $(cat "$file.log")"
  XVFB_DISPLAY=":$(cat "$file.display")"
  [ $# -gt 0 ] && return 0
  export DISPLAY=$XVFB_DISPLAY
  note "Xvfb on $DISPLAY at ${SCREEN_W}x${SCREEN_H}"
}

# The hosts that start no program for root, or refuse to run as root (xscreensaver, sway,
# MATE's saver), run as a desktop user would: as root, as nobody. Sets as_user (the
# command's prefix) and user, and lets that user into $WORK.
as_desktop_user() {
  needs_tools setpriv
  as_user=() user=$(id -un)
  [ "$(id -u)" -eq 0 ] && as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups) user=nobody
  chmod 0711 "$WORK"
}

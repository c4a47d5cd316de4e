# Shared helpers for the end-to-end tests: a private Xvfb screen, the real aerolume
# window on it, screen grabs, and clean-up of everything started.
# Usage: source this file with AEROLUME and XPROBE set to the built programs.

set -u
SCREEN_W=1280
SCREEN_H=1024
WORK=$(mktemp -d)
XVFB_PID=""
APP_PID=""

fail() { echo "FAIL: $*" >&2; exit 1; }
note() { echo "-- $*"; }

cleanup() {
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null && wait "$APP_PID" 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

start_xvfb() {
  if ! command -v Xvfb >/dev/null 2>&1; then
    echo "SKIP: Xvfb is not installed; the end-to-end tests need it (apt-get install xvfb)"
    exit 77
  fi
  command -v xdotool >/dev/null 2>&1 || fail "xdotool is not installed (apt-get install xdotool)"
  Xvfb -displayfd 3 -screen 0 ${SCREEN_W}x${SCREEN_H}x24 -nolisten tcp 3>"$WORK/display" \
    >"$WORK/xvfb.log" 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do
    [ -s "$WORK/display" ] && break
    sleep 0.1
  done
  [ -s "$WORK/display" ] || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
  export DISPLAY=":$(cat "$WORK/display")"
  note "Xvfb on $DISPLAY at ${SCREEN_W}x${SCREEN_H}"
}

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

# Prints "W H" of the window.
window_size() {
  xdotool getwindowgeometry --shell "$WINDOW" | awk -F= '/^WIDTH/{w=$2} /^HEIGHT/{h=$2} END{print w, h}'
}

# Waits until the window has the given size (up to 20 s).
wait_window_size() {
  local want="$1 $2" got=""
  for _ in $(seq 200); do
    got=$(window_size)
    [ "$got" = "$want" ] && return 0
    sleep 0.1
  done
  fail "window is $got, expected $want"
}

# Starts Xvfb and aerolume, waits until the window covers the whole screen, and gives
# the program a second to draw there.
open_fullscreen_window() {
  start_xvfb
  start_app
  wait_window_size $SCREEN_W $SCREEN_H
  note "window covers the whole screen"
  sleep 1
}

grab() { "$XPROBE" grab "$1" || fail "screen grab failed"; }

# Share (0..1) of differing pixels between two grabs, optionally inside X Y W H.
changed() { "$XPROBE" diff "$@"; }

# True when $1 > $2 (decimal numbers).
greater() { awk -v a="$1" -v b="$2" 'BEGIN{exit !(a > b)}'; }

# Ends the program with Esc and checks it exits with status 0.
quit_with_escape() {
  xdotool key --window "$WINDOW" Escape
  local status=""
  for _ in $(seq 100); do
    app_running || break
    sleep 0.1
  done
  app_running && fail "Esc did not end the program"
  wait "$APP_PID"
  status=$?
  APP_PID=""
  [ "$status" -eq 0 ] || fail "Esc ended the program with status $status, expected 0"
  note "Esc ended the program with status 0"
}

# Shared helpers for running programs under the real sway, headless and drawn by pixman:
# a runtime folder under $WORK, sway started and stopped, and clients of it, all as an
# unprivileged user. Source it after lib.sh, with AEROLUME set.

# sway refuses to run as root: as root everything runs as nobody, in a runtime folder of
# its own under $WORK.
needs_tools sway swaymsg
as_desktop_user
RUN="$WORK/run"
mkdir -m 0700 "$RUN"
chown "$user" "$RUN"
printf 'output HEADLESS-1 mode %dx%d\nxwayland disable\n' $SCREEN_W $SCREEN_H >"$WORK/sway.conf"
chmod 0644 "$WORK/sway.conf"
COMPOSITOR_PID="" SOCKET="" SWAYSOCK=""
POINTER_PID=""  # a helper that lives as long as the compositor
trap 'set +e; kill $COMPOSITOR_PID $POINTER_PID 2>/dev/null; cleanup' EXIT
# Commands run with the compositor's runtime folder, as the user; background jobs are
# started through these arrays (not functions), so that $! is the program itself.
user_env=(env -i XDG_RUNTIME_DIR="$RUN" HOME="$WORK" PATH=/usr/bin:/bin)
client=()

start_sway() {
  "${user_env[@]}" WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    "${as_user[@]}" sway -c "$WORK/sway.conf" >"$WORK/sway.log" 2>&1 &
  COMPOSITOR_PID=$!
  wait_until 10 sway_answers || fail "sway did not start: $(cat "$WORK/sway.log")"
  note "sway on $SOCKET"
}
sway_answers() {
  SWAYSOCK=$(ls "$RUN"/sway-ipc.*.sock 2>/dev/null | head -n 1)
  SOCKET=$(ls "$RUN" | grep -m 1 '^wayland-[0-9]*$')
  set_client
  [ -n "$SWAYSOCK" ] && as_client swaymsg -t get_version >/dev/null 2>&1
}
# A client of the compositor now running.
set_client() { client=("${user_env[@]}" WAYLAND_DISPLAY="$SOCKET" SWAYSOCK="$SWAYSOCK" "${as_user[@]}"); }
as_client() { "${client[@]}" "$@"; }
stop_compositor() {
  kill "$COMPOSITOR_PID" 2>/dev/null
  wait "$COMPOSITOR_PID" 2>/dev/null
  COMPOSITOR_PID="" SOCKET="" SWAYSOCK=""
  rm -rf "${RUN:?}"/*
}

# A session bus of the user's at the compositor's runtime folder ($RUN/bus), where the
# clients (env -i) find it for the control; aerolume --control asks there too.
start_user_session_bus() {
  needs_tools dbus-daemon
  "${user_env[@]}" "${as_user[@]}" dbus-daemon --session --nofork --address="unix:path=$RUN/bus" \
    >"$WORK/user_bus.log" 2>&1 &
  SERVICE_PIDS+=($!)
  wait_until 10 test -S "$RUN/bus" || fail "the user's session bus did not start: $(cat "$WORK/user_bus.log")"
}
control() { as_client "$AEROLUME" --control "$@"; }

start_program() {
  "${client[@]}" "$AEROLUME" "$@" >"$WORK/app.out" 2>"$WORK/app.err" &
  APP_PID=$!
}

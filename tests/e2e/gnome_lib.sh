# Shared helpers for running the program under the real GNOME Shell, headless, as an
# unprivileged user, with the package's extension: a home with the extensions enabled, a
# logind mocked on a private system bus (the shell needs one), the user's session bus,
# the shell started and stopped, JavaScript evaluated in it and its pictures taken.
# Source it after lib.sh, with AEROLUME and XPROBE set and the extension built for this
# build (build/gnome-shell/build) in EXTENSION.

UUID=aerolume@aerolume.github.io
needs_tools gnome-shell gdbus dbus-daemon
as_desktop_user
RUN="$WORK/run" HOME_DIR="$WORK/home"
mkdir -m 0700 "$RUN"
EXTENSIONS="$HOME_DIR/.local/share/gnome-shell/extensions"
mkdir -p "$EXTENSIONS" "$HOME_DIR/.config/glib-2.0/settings"
cp -r "$EXTENSION" "$(dirname "${BASH_SOURCE[0]}")/gnome/unsafe@tests.aerolume" "$EXTENSIONS/"
# The settings in a key file: no dconf, and the extensions enabled before the shell starts
# (the test's own first: it lets the test evaluate JavaScript and take pictures).
enable_extensions() {
  printf "[org/gnome/shell]\nenabled-extensions=['unsafe@tests.aerolume', '%s']\n" "$UUID" \
    >"$HOME_DIR/.config/glib-2.0/settings/keyfile"
  chown -R "$user" "$RUN" "$HOME_DIR"
}
enable_extensions
start_system_bus "${as_user[@]}"
start_mock logind '{}' org.freedesktop.login1
user_env=(env -i XDG_RUNTIME_DIR="$RUN" HOME="$HOME_DIR" PATH=/usr/bin:/bin GSETTINGS_BACKEND=keyfile
          DBUS_SYSTEM_BUS_ADDRESS="$SYSTEM_BUS" DBUS_SESSION_BUS_ADDRESS="unix:path=$RUN/bus")
as_client() { "${user_env[@]}" "${as_user[@]}" "$@"; }
as_client dbus-daemon --session --nofork --address="unix:path=$RUN/bus" >"$WORK/user_bus.log" 2>&1 &
SERVICE_PIDS+=($!)
wait_until 10 test -S "$RUN/bus" || fail "the user's session bus did not start: $(cat "$WORK/user_bus.log")"
SHELL_PID=""
trap 'set +e; [ -n "$SHELL_PID" ] && kill $SHELL_PID && wait $SHELL_PID; cleanup' EXIT

# start_gnome_shell wayland|x11 ARGS...: GNOME Shell on Wayland, headless, with the
# monitors the ARGS give (--virtual-monitor WxH each) and no XWayland; or on X11, on the X
# server in DISPLAY. Waits until it answers and has left the overview it starts in.
start_gnome_shell() {
  local session=(--headless --wayland --no-x11 --wayland-display=gnome-test)
  [ "$1" = x11 ] && session=(--x11)
  shift
  # Through the arrays, not as_client, so that $! is the shell itself.
  "${user_env[@]}" DISPLAY="${DISPLAY:-}" "${as_user[@]}" gnome-shell "${session[@]}" "$@" \
    >"$WORK/shell.log" 2>&1 &
  SHELL_PID=$!
  # Once it has started up: the overview it starts in comes at the end of that.
  wait_until 30 eval 'shell_eval "Main.layoutManager._startingUp" | grep -q "^(true, .false.)"' ||
    fail "GNOME Shell did not start: $(grep -A 4 'JS ERROR' "$WORK/shell.log" || tail -n 20 "$WORK/shell.log")"
  shell_eval 'Main.overview.hide(); 1' >/dev/null
  wait_until 10 eval 'shell_eval "Main.overview.visible" | grep -q false' ||
    fail "GNOME Shell stays in the overview"
  note "GNOME Shell $(gnome-shell --version | cut -d' ' -f3) on ${session[*]}: $*"
}
stop_gnome_shell() { stop_desktop SHELL_PID; }
# What JavaScript evaluates to in the shell: "(true, 'VALUE')" (the unsafe mode).
shell_eval() {
  as_client gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
    --method org.gnome.Shell.Eval "$1" 2>&1
}
# The value alone, without the quotes JSON gives a string.
shell_value() { shell_eval "$1" | sed -n "s/^(true, '\"\{0,1\}\(.*[^\"]\)\"\{0,1\}')\$/\1/p"; }
# The screen as a PNG in $WORK/$1.png, through the shell's screenshot interface.
shell_picture() {
  rm -f "$RUN/$1.png"
  as_client gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell/Screenshot \
    --method org.gnome.Shell.Screenshot.Screenshot false false "$RUN/$1.png" >/dev/null 2>&1 &&
    cp "$RUN/$1.png" "$WORK/$1.png"
}
# The share of the screen's rectangle X Y W H in the sky colour, now.
shell_sky() { shell_picture sky && "$XPROBE" sky "$WORK/sky.png" "$@"; }
# The pid of the program the extension started (a child of the shell), or nothing; one
# ended and not yet reaped is none.
program_pid() { pgrep -n -r R,S,D,T -P "$SHELL_PID" -x aerolume; }

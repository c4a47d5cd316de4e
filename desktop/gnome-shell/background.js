// The scene as every monitor's background. The shell owns the program it starts: on
// Wayland through Meta.WaylandClient, with --shell-windows, so that the program opens one
// window per output; each window is taken out of the overview, the window list, Alt+Tab
// and the stacking, hidden, and shown through a clone of it above the monitor's own
// background (under every window, and under the desktop icons of an icons extension). On
// X11 the program's own desktop windows already sit under every window and sleep when
// covered, so it runs as an ordinary child there. While every monitor's background is
// hidden (a full-screen or maximized window on each, the overview aside, the screen
// locked) the program is paused through its control interface, and resumed after. A
// program that ends by a crash is started again a few times at most; then a
// notification says so and the backgrounds are the shell's own again.
//
// The modules this needs come from the head of extension.js, which differs between the
// shell's two extension systems (imports before 45, ES modules from 45 on).

const PROGRAM = '@AEROLUME_PROGRAM@';
const CONTROL_PREFIX = 'io.github.aerolume.Aerolume.i';
const CONTROL_PATH = '/io/github/aerolume/Aerolume';
const CONTROL_INTERFACE = 'io.github.aerolume.Aerolume.Control';
// Starts again after a crash; more within RESTART_SPAN_US are given up.
const RESTARTS = 3;
const RESTART_SPAN_US = 60 * 1000 * 1000;

var AerolumeBackground = class AerolumeBackground {
    constructor(shellMajor) {
        this._shellMajor = shellMajor;
        this._wayland = Meta.is_wayland_compositor();
        this._client = null;
        this._process = null;
        this._pid = null;
        this._clones = new Map();  // window: its clone
        this._starts = [];         // the monotonic times of the starts after a crash
        this._signals = [];
        this._paused = false;
        this._stopping = false;
        this._group = null;
    }

    enable() {
        this._stopping = false;
        this._starts = [];
        if (this._wayland) {
            this._group = new Clutter.Actor({name: 'aerolume-backgrounds'});
            Main.layoutManager._backgroundGroup.add_child(this._group);
            // The shell's background actors are made anew (a new picture, new monitors):
            // the clones stay above them.
            const added = this._shellMajor >= 46 ? 'child-added' : 'actor-added';
            this._connect(Main.layoutManager._backgroundGroup, added,
                () => Main.layoutManager._backgroundGroup.set_child_above_sibling(this._group, null));
            this._connect(global.display, 'window-created', (display, window) => this._adopt(window));
            this._connect(Main.layoutManager, 'monitors-changed', () => this._placeAll());
        }
        this._connect(global.display, 'in-fullscreen-changed', () => this._judgeCovers());
        this._connect(global.display, 'restacked', () => this._judgeCovers());
        this._connect(global.window_manager, 'size-change', () => this._judgeCovers());
        this._connect(global.window_manager, 'minimize', () => this._judgeCovers());
        this._connect(global.window_manager, 'unminimize', () => this._judgeCovers());
        this._connect(global.workspace_manager, 'active-workspace-changed', () => this._judgeCovers());
        this._connect(Main.overview, 'showing', () => this._judgeCovers());
        this._connect(Main.overview, 'hidden', () => this._judgeCovers());
        if (Main.screenShield)
            this._connect(Main.screenShield, 'locked-changed', () => this._judgeCovers());
        this._start();
    }

    disable() {
        this._stopping = true;
        for (const [object, id] of this._signals)
            object.disconnect(id);
        this._signals = [];
        if (this._process)
            this._process.send_signal(15);
        this._process = null;
        this._client = null;
        this._pid = null;
        this._dropClones();
        if (this._group)
            this._group.destroy();
        this._group = null;
    }

    _connect(object, signal, handler) {
        this._signals.push([object, object.connect(signal, handler)]);
    }

    // --- The program ---

    _start() {
        const argv = this._wayland ? [PROGRAM, '--background', '--shell-windows']
            : [PROGRAM, '--background'];
        const launcher = new Gio.SubprocessLauncher({flags: Gio.SubprocessFlags.NONE});
        try {
            if (this._wayland && Meta.WaylandClient.new_subprocess) {
                // Later shells make the client and its process in one call.
                this._client = Meta.WaylandClient.new_subprocess(global.context, launcher, argv);
                this._process = this._client.get_subprocess();
            } else if (this._wayland) {
                // The client's constructor took the shell's context from 44 on.
                this._client = this._shellMajor >= 44
                    ? Meta.WaylandClient.new(global.context, launcher)
                    : Meta.WaylandClient.new(launcher);
                this._process = this._client.spawnv(global.display, argv);
            } else {
                this._process = launcher.spawnv(argv);
            }
        } catch (e) {
            this._giveUp(`${PROGRAM} could not be started: ${e.message}`);
            return;
        }
        this._pid = this._process.get_identifier();
        this._paused = false;
        const process = this._process;
        process.wait_async(null, (source, result) => {
            try {
                source.wait_finish(result);
            } catch (e) {
                // Cancelled: nothing to follow.
            }
            this._ended(process);
        });
    }

    _ended(process) {
        if (this._stopping || process !== this._process)
            return;
        this._process = null;
        this._client = null;
        this._pid = null;
        this._dropClones();
        // Status 0 is an end the program chose (its compositor or display gone, a stop);
        // status 1 and 2 are refusals with a line of their own, which a restart would
        // only repeat. Anything else, a signal above all, is a crash.
        const crashed = process.get_if_signaled() ||
            (process.get_if_exited() && process.get_exit_status() > 2);
        if (!crashed) {
            if (process.get_if_exited() && process.get_exit_status() !== 0)
                this._giveUp(`${PROGRAM} ended with status ${process.get_exit_status()}; ` +
                    'its reason is in the journal');
            return;
        }
        const now = GLib.get_monotonic_time();
        this._starts = this._starts.filter(t => now - t < RESTART_SPAN_US);
        if (this._starts.length >= RESTARTS) {
            this._giveUp(`${PROGRAM} crashed ${RESTARTS + 1} times within a minute; ` +
                'it is not started again until the extension is enabled anew');
            return;
        }
        this._starts.push(now);
        this._start();
    }

    _giveUp(why) {
        Main.notifyError('Aerolume background', why);
    }

    // --- The windows ---

    _ours(window) {
        return this._client !== null && this._client.owns_window(window);
    }

    _adopt(window) {
        if (!this._ours(window))
            return;
        this._client.hide_from_window_list(window);
        const actor = window.get_compositor_private();
        // The window is seen through its clone only: its actor is hidden, and hidden
        // again whenever the shell shows it (its map effect does). The shell keeps a
        // window as large as the monitor partly off the screen, under the top bar, and
        // cuts those parts from the window's own painting; the clone paints it whole. The
        // shell still sends the hidden window frame callbacks while its clone is shown.
        // Hidden once its first frame is shown: a window hidden before that is never
        // mapped, and gets no frame callbacks.
        actor.connect('first-frame', () => {
            actor.hide();
            actor.connect('notify::visible', () => {
                if (actor.visible)
                    actor.hide();
            });
        });
        const clone = new Clutter.Clone({source: actor, reactive: false});
        this._group.add_child(clone);
        this._clones.set(window, clone);
        window.connect('unmanaged', () => {
            const c = this._clones.get(window);
            if (c)
                c.destroy();
            this._clones.delete(window);
        });
        window.connect('notify::title', () => this._place(window));
        window.stick();
        window.lower();
        this._place(window);
        this._judgeCovers();
    }

    // The monitor a window is for: its title names the output and its place, "Aerolume
    // background on NAME at X,Y" (the name only where the compositor names outputs).
    _monitorOf(window) {
        const match = /^Aerolume background(?: on (.*))? at (-?\d+),(-?\d+)$/.exec(window.get_title() || '');
        if (!match)
            return -1;
        if (match[1]) {
            const manager = global.backend?.get_monitor_manager?.() ?? Meta.MonitorManager.get();
            const named = manager.get_monitor_for_connector(match[1]);
            if (named >= 0)
                return named;
        }
        const [x, y] = [parseInt(match[2], 10), parseInt(match[3], 10)];
        for (let i = 0; i < global.display.get_n_monitors(); i++) {
            const area = global.display.get_monitor_geometry(i);
            if (x >= area.x && x < area.x + area.width && y >= area.y && y < area.y + area.height)
                return i;
        }
        return -1;
    }

    _place(window) {
        const clone = this._clones.get(window);
        if (!clone)
            return;
        const monitor = this._monitorOf(window);
        if (monitor < 0 || monitor >= global.display.get_n_monitors()) {
            clone.hide();
            return;
        }
        // The window is as large as its monitor; the shell keeps it under the top bar,
        // on the monitor the picture is for, while the clone shows it all.
        const area = global.display.get_monitor_geometry(monitor);
        window.move_frame(false, area.x, area.y);
        clone.set_position(area.x, area.y);
        clone.set_size(area.width, area.height);
        clone.show();
    }

    _placeAll() {
        for (const window of this._clones.keys())
            this._place(window);
        this._judgeCovers();
    }

    _dropClones() {
        for (const clone of this._clones.values())
            clone.destroy();
        this._clones.clear();
    }

    // --- Pausing ---

    // Whether a monitor's background is hidden: a full-screen window on it, or a
    // maximized one on the active workspace.
    _covered(monitor) {
        if (global.display.get_monitor_in_fullscreen(monitor))
            return true;
        const workspace = global.workspace_manager.get_active_workspace();
        return workspace.list_windows().some(w => !this._ours(w) && !w.minimized &&
            w.showing_on_its_workspace() && w.get_monitor() === monitor &&
            (w.is_maximized ? w.is_maximized() : w.get_maximized() === Meta.MaximizeFlags.BOTH));
    }

    _judgeCovers() {
        if (this._pid === null)
            return;
        const locked = Main.screenShield ? Main.screenShield.locked : false;
        const monitors = global.display.get_n_monitors();
        let hidden = locked;
        if (!hidden && !Main.overview.visible) {
            hidden = monitors > 0;
            for (let i = 0; i < monitors && hidden; i++)
                hidden = this._covered(i);
        }
        if (hidden === this._paused)
            return;
        this._paused = hidden;
        this._control(hidden ? 'Pause' : 'Resume');
    }

    _control(method) {
        Gio.DBus.session.call(`${CONTROL_PREFIX}${this._pid}`, CONTROL_PATH, CONTROL_INTERFACE,
            method, null, null, Gio.DBusCallFlags.NONE, 3000, null, (bus, result) => {
                try {
                    bus.call_finish(result);
                } catch (e) {
                    // Not on the bus yet: it is asked again at the next change.
                    if (this._paused === (method === 'Pause'))
                        this._paused = !this._paused;
                }
            });
    }
};

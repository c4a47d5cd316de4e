// For the tests only: the shell's unsafe mode, in which org.gnome.Shell.Eval runs what a
// test asks and the screenshot interface answers any caller.
/* exported init, enable, disable */
function init() {
}

function enable() {
    global.context.unsafe_mode = true;
}

function disable() {
    global.context.unsafe_mode = false;
}

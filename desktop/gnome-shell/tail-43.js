
let background = null;

function init() {
}

function enable() {
    background = new AerolumeBackground(parseInt(Config.PACKAGE_VERSION, 10));
    background.enable();
}

function disable() {
    background.disable();
    background = null;
}

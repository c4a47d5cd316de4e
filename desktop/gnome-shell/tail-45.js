
export default class AerolumeExtension extends Extension {
    enable() {
        this._background = new AerolumeBackground(parseInt(Config.PACKAGE_VERSION, 10));
        this._background.enable();
    }

    disable() {
        this._background.disable();
        this._background = null;
    }
}

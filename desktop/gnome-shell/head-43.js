// GNOME Shell 43 and 44: the extension system of imports.
/* exported init, enable, disable */
const {Clutter, Gio, GLib, Meta} = imports.gi;
const Main = imports.ui.main;
const Config = imports.misc.config;


// GNOME Shell 43 and 44 load an extension as a script with the shell's modules under "imports".
'use strict';

const {Atspi, Clutter, Gio, GLib, Gvc, Meta, Shell} = imports.gi;
const Main = imports.ui.main;
const ExtensionUtils = imports.misc.extensionUtils;

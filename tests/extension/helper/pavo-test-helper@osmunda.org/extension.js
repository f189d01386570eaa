'use strict';

// Leaves the Overview a fresh shell starts in, so that windows get the focus, and then owns a
// name on the session bus: the test waits for it instead of guessing when the shell is up.
// Its CollectGarbage lets a measure of the shell's memory tell garbage from what is kept.
const {Gio} = imports.gi;
const Main = imports.ui.main;
const System = imports.system;

const READY_NAME = 'org.osmunda.PavoTest.ShellReady';
const HELPER_PATH = '/org/osmunda/PavoTest';
const HELPER_INTERFACE = `<node><interface name="org.osmunda.PavoTest">
    <method name="CollectGarbage"/></interface></node>`;

class Helper {
    enable() {
        if (Main.layoutManager._startingUp)
            this._startup = Main.layoutManager.connect('startup-complete', () => this._ready());
        else
            this._ready();
    }

    _ready() {
        Main.overview.hide();
        this._object = Gio.DBusExportedObject.wrapJSObject(HELPER_INTERFACE, {CollectGarbage: () => System.gc()});
        this._object.export(Gio.DBus.session, HELPER_PATH);
        this._name = Gio.bus_own_name(Gio.BusType.SESSION, READY_NAME, Gio.BusNameOwnerFlags.NONE, null, null, null);
    }

    disable() {
        if (this._startup)
            Main.layoutManager.disconnect(this._startup);
        if (this._name)
            Gio.bus_unown_name(this._name);
        this._object?.unexport();
        this._object = null;
        this._startup = this._name = 0;
    }
}

function init() {
    return new Helper();
}

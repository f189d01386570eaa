'use strict';

// Leaves the Overview a fresh shell starts in, so that windows get the focus, and then owns a
// name on the session bus: the test waits for it instead of guessing when the shell is up.
const {Gio} = imports.gi;
const Main = imports.ui.main;

const READY_NAME = 'org.osmunda.PavoTest.ShellReady';

class Helper {
    enable() {
        if (Main.layoutManager._startingUp)
            this._startup = Main.layoutManager.connect('startup-complete', () => this._ready());
        else
            this._ready();
    }

    _ready() {
        Main.overview.hide();
        this._name = Gio.bus_own_name(Gio.BusType.SESSION, READY_NAME, Gio.BusNameOwnerFlags.NONE, null, null, null);
    }

    disable() {
        if (this._startup)
            Main.layoutManager.disconnect(this._startup);
        if (this._name)
            Gio.bus_unown_name(this._name);
        this._startup = this._name = 0;
    }
}

function init() {
    return new Helper();
}

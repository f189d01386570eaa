// A request that cannot be carried out answers with this D-Bus error; a plain exception would also
// put a stack trace in the shell's log for every bad request a client sends.
function refusal(code, message) {
    return new GLib.Error(Gio.DBusError, code, message);
}

// A burst of changes (a window opening moves focus, adds a running application and changes the
// list at once) gives one dataChanged per query: the program asks again for each name it hears.
class ChangeNotifier {
    constructor(emit) {
        this._emit = emit;
        this._pending = new Set();
        this._source = 0;
    }

    changed(query) {
        this._pending.add(query);
        if (this._source === 0)
            this._source = GLib.idle_add(GLib.PRIORITY_DEFAULT, () => this._flush());
    }

    _flush() {
        this._source = 0;
        const queries = [...this._pending];
        this._pending.clear();
        queries.forEach(query => this._emit(query));
        return GLib.SOURCE_REMOVE;
    }

    destroy() {
        if (this._source !== 0)
            GLib.source_remove(this._source);
        this._source = 0;
        this._pending.clear();
    }
}

// Remembers every handler connected, so that one call undoes them all.
class Connections {
    constructor() {
        this._handlers = [];
    }

    connect(object, signal, callback) {
        this._handlers.push([object, object.connect(signal, callback)]);
    }

    disconnectFrom(object) {
        this._handlers = this._handlers.filter(([owner, id]) => {
            if (owner !== object)
                return true;
            owner.disconnect(id);
            return false;
        });
    }

    disconnectAll() {
        this._handlers.forEach(([owner, id]) => owner.disconnect(id));
        this._handlers = [];
    }
}

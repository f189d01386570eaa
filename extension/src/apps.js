// Applications as the shell sees them: the installed ones from their desktop entries, the running
// ones and the focused one from the window tracker.

// The program looks an icon up as an absolute file, then as a theme name, then in the pixmaps
// folder: a file icon gives its path, a themed icon its first (most specific) name.
function iconText(icon) {
    if (icon instanceof Gio.FileIcon)
        return icon.get_file().get_path() ?? '';
    if (icon instanceof Gio.ThemedIcon)
        return icon.get_names()[0] ?? '';
    return '';
}

function appEntry(info) {
    return {id: info.get_id(), name: info.get_name(), icon: iconText(info.get_icon())};
}

// The window a command acts on: the application's most recently used one.
function lastUsedWindow(app) {
    const windows = app.get_windows();
    if (windows.length === 0)
        throw refusal(Gio.DBusError.FAILED, `${app.get_id()} has no window`);
    return windows[0];
}

// A minimised window comes back; an application without a window is started.
function activate(app) {
    const [window] = app.get_windows();
    if (!window) {
        app.activate();
        return;
    }
    if (window.minimized)
        window.unminimize();
    Main.activateWindow(window);
}

const WINDOW_COMMANDS = {
    activate,
    quit: app => app.request_quit(),
    close: app => app.get_windows().forEach(window => window.delete(global.get_current_time())),
    toggleMinimize: app => {
        const window = lastUsedWindow(app);
        if (window.minimized)
            activate(app);
        else
            app.get_windows().forEach(each => each.minimize());
    },
    toggleMaximize: app => {
        const window = lastUsedWindow(app);
        if (window.get_maximized() === Meta.MaximizeFlags.BOTH)
            window.unmaximize(Meta.MaximizeFlags.BOTH);
        else
            window.maximize(Meta.MaximizeFlags.BOTH);
    },
    toggleFullscreen: app => {
        const window = lastUsedWindow(app);
        if (window.is_fullscreen())
            window.unmake_fullscreen();
        else
            window.make_fullscreen();
    },
};

class Applications {
    constructor(changes) {
        this._system = Shell.AppSystem.get_default();
        this._tracker = Shell.WindowTracker.get_default();
        this._connections = new Connections();
        this._connections.connect(this._system, 'installed-changed', () => changes.changed('installedApps'));
        this._connections.connect(this._system, 'app-state-changed', () => changes.changed('runningApps'));
        this._connections.connect(this._tracker, 'notify::focus-app', () => changes.changed('currentApp'));
    }

    installed() {
        return JSON.stringify(this._system.get_installed().filter(info => info.should_show()).map(appEntry));
    }

    running() {
        return JSON.stringify(this._system.get_running().map(app => ({id: app.get_id()})));
    }

    current() {
        return this._tracker.focus_app?.get_id() ?? '';
    }

    lookup(id) {
        return this._system.lookup_app(id);
    }

    command(id, command) {
        const perform = WINDOW_COMMANDS.hasOwnProperty(command) ? WINDOW_COMMANDS[command] : null;
        if (!perform)
            throw refusal(Gio.DBusError.INVALID_ARGS, `Unknown command ${command}`);
        const app = this._system.lookup_app(id);
        if (!app)
            throw refusal(Gio.DBusError.INVALID_ARGS, `Unknown application ${id}`);
        perform(app);
    }

    destroy() {
        this._connections.disconnectAll();
    }
}

// Screen brightness, the lock, the session and media players: what the shell leaves to other
// services on the buses.

const BRIGHTNESS_SERVICE = 'org.gnome.SettingsDaemon.Power';
const BRIGHTNESS_INTERFACE = 'org.gnome.SettingsDaemon.Power.Screen';

// The settings daemon reports -1 where there is no backlight to drive.
class Brightness {
    constructor(changes) {
        this._changes = changes;
        this._proxy = null;
        this._connections = new Connections();
        this._cancellable = new Gio.Cancellable();
        Gio.DBusProxy.new_for_bus(Gio.BusType.SESSION, Gio.DBusProxyFlags.DO_NOT_AUTO_START, null,
            BRIGHTNESS_SERVICE, '/org/gnome/SettingsDaemon/Power', BRIGHTNESS_INTERFACE, this._cancellable,
            (source, result) => this._onProxy(result));
    }

    _onProxy(result) {
        try {
            this._proxy = Gio.DBusProxy.new_for_bus_finish(result);
        } catch (error) {
            return; // cancelled, or no session bus: brightness stays unsupported
        }
        this._connections.connect(this._proxy, 'g-properties-changed', () => this._changes.changed('brightness'));
        this._connections.connect(this._proxy, 'notify::g-name-owner',
            () => this._changes.changed('unsupportedFeatures'));
        this._changes.changed('unsupportedFeatures');
    }

    level() {
        return this._proxy?.get_cached_property('Brightness')?.unpack() ?? -1;
    }

    get available() {
        return this.level() >= 0;
    }

    setLevel(percent) {
        if (!this.available)
            throw refusal(Gio.DBusError.NOT_SUPPORTED, 'No backlight');
        const level = Math.min(Math.max(percent, 0), 100);
        this._proxy.call('org.freedesktop.DBus.Properties.Set',
            new GLib.Variant('(ssv)', [BRIGHTNESS_INTERFACE, 'Brightness', new GLib.Variant('i', level)]),
            Gio.DBusCallFlags.NONE, -1, null, null);
    }

    destroy() {
        this._cancellable.cancel();
        this._connections.disconnectAll();
        this._proxy = null;
    }
}

function callSession(bus, name, path, iface, method, parameters = null) {
    bus.call(name, path, iface, method, parameters, null, Gio.DBusCallFlags.NONE, -1, null, (connection, result) => {
        try {
            connection.call_finish(result);
        } catch (error) {
            log(`Pavo Server: ${iface}.${method} failed: ${error.message}`);
        }
    });
}

function callSessionManager(method, parameters = null) {
    callSession(Gio.DBus.session, 'org.gnome.SessionManager', '/org/gnome/SessionManager', 'org.gnome.SessionManager',
        method, parameters);
}

const MPRIS_PREFIX = 'org.mpris.MediaPlayer2.';

function mediaPlayerStatus(name, callback) {
    Gio.DBus.session.call(name, '/org/mpris/MediaPlayer2', 'org.freedesktop.DBus.Properties', 'Get',
        new GLib.Variant('(ss)', ['org.mpris.MediaPlayer2.Player', 'PlaybackStatus']), null, Gio.DBusCallFlags.NONE,
        1000, null, (connection, result) => {
            try {
                callback(connection.call_finish(result).deepUnpack()[0].unpack());
            } catch (error) {
                callback('');
            }
        });
}

// The player that plays, else the first one there is; asked without waiting, since a hanging
// player must not hang the shell.
function commandMediaPlayer(method) {
    Gio.DBus.session.call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus', 'ListNames', null,
        null, Gio.DBusCallFlags.NONE, -1, null, (connection, result) => {
            const [names] = connection.call_finish(result).deepUnpack();
            const players = names.filter(name => name.startsWith(MPRIS_PREFIX));
            const playing = [];
            let waiting = players.length;
            players.forEach(player => mediaPlayerStatus(player, status => {
                if (status === 'Playing')
                    playing.push(player);
                if (--waiting === 0)
                    callSession(connection, playing[0] ?? players[0], '/org/mpris/MediaPlayer2',
                        'org.mpris.MediaPlayer2.Player', method);
            }));
        });
}

// The program asks for these when a client says so: no confirmation dialog on the desktop.
const SYSTEM_ACTIONS = {
    lockScreen: () => {
        if (!Main.screenShield)
            throw refusal(Gio.DBusError.NOT_SUPPORTED, 'This session cannot lock the screen');
        Main.screenShield.lock(true);
    },
    logout: () => callSessionManager('Logout', new GLib.Variant('(u)', [1])),
    shutdown: () => callSessionManager('RequestShutdown'),
    restart: () => callSessionManager('RequestReboot'),
    sleep: () => callSession(Gio.DBus.system, 'org.freedesktop.login1', '/org/freedesktop/login1',
        'org.freedesktop.login1.Manager', 'Suspend', new GLib.Variant('(b)', [false])),
    mediaPlayPause: () => commandMediaPlayer('PlayPause'),
    mediaNextTrack: () => commandMediaPlayer('Next'),
    mediaPreviousTrack: () => commandMediaPlayer('Previous'),
};

function performSystemAction(name) {
    if (!SYSTEM_ACTIONS.hasOwnProperty(name))
        throw refusal(Gio.DBusError.INVALID_ARGS, `Unknown action ${name}`);
    SYSTEM_ACTIONS[name]();
}

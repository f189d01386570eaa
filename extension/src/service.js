// The object the program talks to: org.osmunda.Pavo.Extension at /org/osmunda/Pavo/Extension on
// the session bus, there only while the extension is enabled. Methods that fail (an unknown
// application, no sound output) answer with a D-Bus error, which the program drops.

const OBJECT_PATH = '/org/osmunda/Pavo/Extension';

class PavoService {
    constructor(version) {
        this._version = `${version}`;
        this._changes = new ChangeNotifier(
            query => this._object.emit_signal('dataChanged', new GLib.Variant('(s)', [query])));
        this._connections = new Connections();
        this._apps = new Applications(this._changes);
        this._keyboard = new Keyboard();
        this._sound = new Sound(this._changes);
        this._brightness = new Brightness(this._changes);
        this._focused = new FocusedElement(this._changes);
        if (Main.screenShield)
            this._connections.connect(Main.screenShield, 'locked-changed', () => this._changes.changed('screenLocked'));
        this._object = Gio.DBusExportedObject.wrapJSObject(INTERFACE_XML, this);
        this._object.export(Gio.DBus.session, OBJECT_PATH);
    }

    destroy() {
        this._object.unexport();
        this._changes.destroy();
        this._connections.disconnectAll();
        this._apps.destroy();
        this._keyboard.destroy();
        this._sound.destroy();
        this._brightness.destroy();
        this._focused.destroy();
    }

    appCommand(id, command) {
        this._apps.command(id, command);
    }

    currentApp() {
        return this._apps.current();
    }

    installedApps() {
        return this._apps.installed();
    }

    runningApps() {
        return this._apps.running();
    }

    performShortcut(shortcut) {
        this._keyboard.shortcut(shortcut);
    }

    performText(text) {
        this._keyboard.type(text);
    }

    volumeLevel() {
        return this._sound.level();
    }

    setVolumeLevel(percent) {
        this._sound.setLevel(percent);
    }

    volumeMute() {
        return this._sound.muted();
    }

    setVolumeMute(muted) {
        this._sound.setMuted(muted);
    }

    brightness() {
        return Math.max(this._brightness.level(), 0);
    }

    setBrightness(percent) {
        this._brightness.setLevel(percent);
    }

    screenLocked() {
        return Main.screenShield?.locked ?? false;
    }

    focusedElement(id) {
        try {
            return this._focused.describe(this._apps.lookup(id));
        } catch (error) {
            // Gone, or not answering within its time.
            return ['', '', ''];
        }
    }

    setFocusedElementValue(text) {
        this._focused.setText(text);
    }

    performFocusedElement(id) {
        this._focused.perform(this._apps.lookup(id));
    }

    invoke(methodName) {
        performSystemAction(methodName);
    }

    invokeString(methodName) {
        if (methodName !== 'version')
            throw refusal(Gio.DBusError.INVALID_ARGS, `Unknown query ${methodName}`);
        return this._version;
    }

    // Names the client knows; docs/extension.md lists them.
    unsupportedFeatures() {
        const unsupported = [];
        if (!this._focused.available)
            unsupported.push('focusedElement');
        if (!this._sound.available)
            unsupported.push('volume');
        if (!this._brightness.available)
            unsupported.push('brightness');
        return unsupported;
    }
}

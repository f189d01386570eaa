// Key presses through a virtual keyboard of the shell's own seat: they reach the focused window
// as if typed. The notation is described in docs/extension-keys.md.

const MODIFIER_KEYS = {
    ctrl: 'Control_L',
    control: 'Control_L',
    shift: 'Shift_L',
    alt: 'Alt_L',
    super: 'Super_L',
    meta: 'Super_L',
};

const KEY_ALIASES = {
    enter: 'Return',
    return: 'Return',
    esc: 'Escape',
    escape: 'Escape',
    backspace: 'BackSpace',
    del: 'Delete',
    delete: 'Delete',
    ins: 'Insert',
    insert: 'Insert',
    tab: 'Tab',
    space: 'space',
    up: 'Up',
    down: 'Down',
    left: 'Left',
    right: 'Right',
    home: 'Home',
    end: 'End',
    pageup: 'Page_Up',
    pagedown: 'Page_Down',
    menu: 'Menu',
    print: 'Print',
};

function namedKeyval(name) {
    const keyval = Clutter[`KEY_${name}`];
    return Number.isInteger(keyval) && keyval > 0 ? keyval : 0;
}

// A single character stands for itself; longer names are key names, case-insensitive for the
// common ones ("Enter", "pagedown", "F4").
function keyvalFor(name) {
    const characters = [...name];
    if (characters.length === 1)
        return Clutter.unicode_to_keysym(characters[0].codePointAt(0));
    const alias = KEY_ALIASES[name.toLowerCase()];
    return namedKeyval(alias ?? name) || namedKeyval(name.toUpperCase());
}

// "ctrl+shift+t" as the keyvals to hold down, in order; null when a part is not understood.
function parseShortcut(text) {
    const parts = text.split('+');
    let key = parts.pop();
    // "ctrl++": the key is the plus sign itself.
    if (key === '' && parts.length > 0 && parts[parts.length - 1] === '') {
        parts.pop();
        key = '+';
    }
    if (key === '')
        return null;
    const keyvals = [];
    for (const part of parts) {
        const modifier = part.toLowerCase();
        if (!MODIFIER_KEYS.hasOwnProperty(modifier))
            return null;
        keyvals.push(namedKeyval(MODIFIER_KEYS[modifier]));
    }
    const keyval = keyvalFor(key);
    return keyval ? [...keyvals, keyval] : null;
}

class Keyboard {
    constructor() {
        const seat = Clutter.get_default_backend().get_default_seat();
        this._device = seat.create_virtual_device(Clutter.InputDeviceType.KEYBOARD_DEVICE);
    }

    _press(keyvals) {
        const time = GLib.get_monotonic_time();
        keyvals.forEach(keyval => this._device.notify_keyval(time, keyval, Clutter.KeyState.PRESSED));
        [...keyvals].reverse().forEach(keyval => this._device.notify_keyval(time, keyval, Clutter.KeyState.RELEASED));
    }

    shortcut(text) {
        const keyvals = parseShortcut(text);
        if (!keyvals)
            throw refusal(Gio.DBusError.INVALID_ARGS, `Not a shortcut: ${text}`);
        this._press(keyvals);
    }

    type(text) {
        for (const character of text)
            this._press([Clutter.unicode_to_keysym(character.codePointAt(0))]);
    }

    destroy() {
        this._device.run_dispose();
        this._device = null;
    }
}

// The default output's volume and mute through the shell's own mixer library, which follows the
// sound server as it comes and goes.
class Sound {
    constructor(changes) {
        this._changes = changes;
        this._connections = new Connections();
        this._stream = null;
        this._mixer = new Gvc.MixerControl({name: 'Pavo Server remote control'});
        this._connections.connect(this._mixer, 'state-changed', () => this._followDefaultSink());
        this._connections.connect(this._mixer, 'default-sink-changed', () => this._followDefaultSink());
        this._mixer.open();
    }

    get available() {
        return this._stream !== null;
    }

    _followDefaultSink() {
        const ready = this._mixer.get_state() === Gvc.MixerControlState.READY;
        const stream = ready ? this._mixer.get_default_sink() : null;
        if (stream === this._stream)
            return;
        if (this._stream)
            this._connections.disconnectFrom(this._stream);
        const wasAvailable = this.available;
        this._stream = stream;
        if (stream) {
            this._connections.connect(stream, 'notify::volume', () => this._changes.changed('volumeLevel'));
            this._connections.connect(stream, 'notify::is-muted', () => this._changes.changed('volumeMute'));
        }
        if (wasAvailable !== this.available)
            this._changes.changed('unsupportedFeatures');
        this._changes.changed('volumeLevel');
        this._changes.changed('volumeMute');
    }

    _requireStream() {
        if (!this._stream)
            throw refusal(Gio.DBusError.NOT_SUPPORTED, 'No sound output');
        return this._stream;
    }

    level() {
        if (!this._stream)
            return 0;
        return Math.round(this._stream.volume * 100 / this._mixer.get_vol_max_norm());
    }

    // Clients may send anything a 16-bit number holds; more than full scale would distort.
    setLevel(percent) {
        const stream = this._requireStream();
        stream.volume = Math.round(Math.min(Math.max(percent, 0), 100) * this._mixer.get_vol_max_norm() / 100);
        stream.push_volume();
    }

    muted() {
        return this._stream?.is_muted ? 1 : 0;
    }

    setMuted(muted) {
        this._requireStream().change_is_muted(muted !== 0);
    }

    destroy() {
        this._connections.disconnectAll();
        this._stream = null;
        this._mixer.close();
        this._mixer = null;
    }
}

// The page's lasting connection to the desktop that served it: the device id and pairing secret
// in the browser's storage, reconnection with growing pauses, and messages routed by method code.
//
// Events: state {state, detail}, where state is one of
//   connecting, waiting (detail: the code), admitted, refused, rejected (detail: the reason),
//   away (detail: seconds until the next try), failed (detail: the reason; no retry).
// and message {json, attachments} for every message once admitted.
import {toHex} from './bytes.js';
import {randomBytes} from './crypto.js';
import {RemoteConnection} from './protocol.js';

const DeviceIdKey = 'pavo.deviceId';
const SecretKey = 'pavo.secret';
const FirstPause = 1;
const LongestPause = 30;

// Ends after which trying again cannot help: the user has to act, or the desktop is not ours.
const Final = new Set(['protocol1', 'commitmentMismatch', 'pairingFailed', 'exhausted']);

export class Session extends EventTarget {
    constructor({storage, serverUrl, openSocket}) {
        super();
        this.storage = storage;
        this.serverUrl = serverUrl;
        this.openSocket = openSocket;
        this.pause = FirstPause;
        this.handlers = new Map();
        this.connection = null;
        this.retry = 0;
    }

    get deviceId() {
        let id = this.storage.getItem(DeviceIdKey);
        if (!id) {
            id = `web-${toHex(randomBytes(12))}`;
            this.storage.setItem(DeviceIdKey, id);
        }
        return id;
    }

    get admitted() {
        return this.connection !== null && this.connection.state === 'admitted';
    }

    on(method, handler) {
        if (!this.handlers.has(method))
            this.handlers.set(method, []);
        this.handlers.get(method).push(handler);
    }

    send(message) {
        return this.connection !== null && this.connection.send(message);
    }

    connect() {
        clearTimeout(this.retry);
        if (this.connection && this.connection.state !== 'closed')
            return;
        const connection = new RemoteConnection({
            serverUrl: this.serverUrl,
            deviceId: this.deviceId,
            secret: this.storage.getItem(SecretKey),
            ...(this.openSocket ? {openSocket: this.openSocket} : {}),
        });
        this.connection = connection;
        this.outcome = null;
        connection.addEventListener('waiting', (event) => this.tell('waiting', event.code));
        connection.addEventListener('admitted', (event) => this.onAdmitted(event));
        connection.addEventListener('refused', () => (this.outcome = 'refused'));
        connection.addEventListener('secretrejected', (event) => (this.outcome = event.reason));
        connection.addEventListener('message', (event) => this.route(event));
        connection.addEventListener('closed', (event) => this.onClosed(event.reason));
        this.tell('connecting');
        connection.connect();
    }

    // The user chose to pair anew: the old secret is of no use to this desktop any more.
    pairAgain() {
        this.storage.removeItem(SecretKey);
        if (this.connection)
            this.connection.close();
        this.connect();
    }

    // A phone wakes with its sockets long dead: try at once instead of waiting out the pause.
    wake() {
        if (!this.connection || this.connection.state === 'closed') {
            this.pause = FirstPause;
            this.connect();
        }
    }

    onAdmitted(event) {
        if (event.paired)
            this.storage.setItem(SecretKey, event.secret);
        this.pause = FirstPause;
        this.tell('admitted');
    }

    onClosed(reason) {
        if (this.outcome === 'refused')
            return this.tell('refused');
        if (this.outcome)
            return this.tell('rejected', this.outcome);
        if (Final.has(reason))
            return this.tell('failed', reason);
        if (reason === 'closedByPage')
            return;
        this.tell('away', this.pause);
        this.retry = setTimeout(() => this.connect(), this.pause * 1000);
        this.pause = Math.min(this.pause * 2, LongestPause);
    }

    route(event) {
        for (const handler of this.handlers.get(event.json._) || [])
            handler(event.json, event.attachments);
    }

    tell(state, detail) {
        this.dispatchEvent(Object.assign(new Event('state'), {state, detail}));
    }
}

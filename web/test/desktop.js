// The desktop's side of a connection, scripted by the tests: a socket with the WebSocket
// interface that records what the device sends and delivers what a test makes the server say.
import {readFileSync} from 'node:fs';

export const vectors = JSON.parse(readFileSync(new URL('../../docs/protocol2-vectors.json', import.meta.url)));

export function hex(text) {
    return Uint8Array.from(Buffer.from(text, 'hex'));
}

// Built here independently of the module under test: 32-bit length, JSON, attachments.
export function serverFrame(message, attachments = []) {
    const json = Buffer.from(typeof message === 'string' ? message : JSON.stringify(message));
    const parts = [int32(json.length), json];
    for (const {kind, bytes} of attachments)
        parts.push(Buffer.of(kind), int32(bytes.length), Buffer.from(bytes));
    return Uint8Array.from(Buffer.concat(parts));
}

function int32(value) {
    const bytes = Buffer.alloc(4);
    bytes.writeInt32BE(value);
    return bytes;
}

export class ScriptedSocket {
    constructor(url) {
        this.url = url;
        this.sent = [];
        this.closeCode = null;
    }

    send(bytes) {
        this.sent.push(Uint8Array.from(bytes));
    }

    sentJson() {
        return JSON.parse(Buffer.from(this.sent[this.sent.length - 1]).toString());
    }

    close(code) {
        this.closeCode = code;
    }

    deliver(bytes) {
        this.onmessage?.({data: bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.byteLength)});
    }

    hangUp(code) {
        this.onclose?.({code});
    }
}

// Records every event a connection emits, in order, as [type, event].
export function recordEvents(connection) {
    const events = [];
    for (const type of ['waiting', 'admitted', 'refused', 'secretrejected', 'message', 'closed'])
        connection.addEventListener(type, (event) => events.push([type, event]));
    return events;
}

// A connection to the scripted desktop as the vectors' device; random hands out the given byte
// strings in turn, then fresh ones.
export async function connectDevice({secret = null, random = []} = {}) {
    const {RemoteConnection} = await import('../src/protocol.js');
    const {randomBytes} = await import('../src/crypto.js');
    let socket;
    const connection = new RemoteConnection({
        serverUrl: 'ws://127.0.0.1:52549/',
        deviceId: vectors.deviceId,
        secret,
        openSocket: (url) => (socket = new ScriptedSocket(url)),
        random: (length) => (random.length ? hex(random.shift()) : randomBytes(length)),
    });
    const events = recordEvents(connection);
    connection.connect();
    return {connection, socket, events};
}

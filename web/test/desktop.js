// The desktop's side of a connection, scripted by the tests: a socket with the WebSocket
// interface that records what the device sends and delivers what a test makes the server say.
import {readFileSync} from 'node:fs';

import {randomBytes} from '../src/crypto.js';
import {RemoteConnection} from '../src/protocol.js';

export const vectors = JSON.parse(readFileSync(new URL('../../docs/protocol2-vectors.json', import.meta.url)));

export function hex(text) {
    return Uint8Array.from(Buffer.from(text, 'hex'));
}

// Built here apart from the module under test: 32-bit length, then the JSON.
export function serverFrame(message) {
    const json = Buffer.from(typeof message === 'string' ? message : JSON.stringify(message));
    const length = Buffer.alloc(4);
    length.writeInt32BE(json.length);
    return Uint8Array.from(Buffer.concat([length, json]));
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

// A connection to the scripted desktop as the vectors' device, with its events in order as
// [type, event]; random hands out the given byte strings in turn, then fresh ones.
export function connectDevice({secret = null, random = []} = {}) {
    let socket;
    const connection = new RemoteConnection({
        serverUrl: 'ws://127.0.0.1:52549/',
        deviceId: vectors.deviceId,
        secret,
        openSocket: (url) => (socket = new ScriptedSocket(url)),
        random: (length) => (random.length ? hex(random.shift()) : randomBytes(length)),
    });
    const events = [];
    for (const type of ['waiting', 'admitted', 'refused', 'secretrejected', 'message', 'closed'])
        connection.addEventListener(type, (event) => events.push([type, event]));
    connection.connect();
    return {connection, socket, events};
}

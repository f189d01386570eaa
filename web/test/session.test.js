import assert from 'node:assert/strict';
import test from 'node:test';

import {Session} from '../src/session.js';

import {ScriptedSocket, serverFrame, vectors} from './desktop.js';

class MemoryStorage extends Map {
    getItem(key) {
        return this.has(key) ? this.get(key) : null;
    }
    setItem(key, value) {
        this.set(key, String(value));
    }
    removeItem(key) {
        this.delete(key);
    }
}

function startSession(storage) {
    const sockets = [];
    const states = [];
    const session = new Session({
        storage,
        serverUrl: 'ws://127.0.0.1:52549/',
        openSocket: (url) => sockets.at(sockets.push(new ScriptedSocket(url)) - 1),
    });
    session.addEventListener('state',
                             (event) => states.push(event.detail ? `${event.state}:${event.detail}` : event.state));
    session.connect();
    return {session, sockets, states};
}

test('a device keeps one id, and a drop is retried with growing pauses until the page closes it', () => {
    const storage = new MemoryStorage();
    const {session, sockets, states} = startSession(storage);
    const id = storage.getItem('pavo.deviceId');
    assert.match(id, /^web-[0-9a-f]{24}$/);
    assert.equal(new URL(sockets[0].url).searchParams.get('i'), id);

    sockets[0].hangUp(1006);
    session.connect();
    sockets[1].hangUp(1000); // turned away before any word: the desktop is busy or backing off
    assert.deepEqual(states, ['connecting', 'away:1', 'connecting', 'away:2']);
    session.wake();
    assert.equal(sockets.length, 3);
    assert.equal(new URL(sockets[2].url).searchParams.get('i'), id);
    session.connection.close();
    assert.equal(states.at(-1), 'connecting');
});

test('a forgotten device is told so, not retried, and pairs anew only when asked', () => {
    const storage = new MemoryStorage([['pavo.secret', 'A'.repeat(32)]]);
    const {session, sockets, states} = startSession(storage);
    sockets[0].deliver(serverFrame({_: 'au', pc: vectors.pairing.commitment}));
    assert.deepEqual(states, ['connecting', 'rejected:forgotten']);
    assert.equal(storage.getItem('pavo.secret'), 'A'.repeat(32));
    assert.equal(sockets.length, 1);

    session.pairAgain();
    assert.equal(storage.getItem('pavo.secret'), null);
    sockets[1].deliver(serverFrame({_: 'au', pc: vectors.pairing.commitment}));
    assert.equal(JSON.parse(Buffer.from(sockets[1].sent[0]).toString())._, 'au'); // its public key: pairing
    session.connection.close();
    assert.deepEqual(states.slice(2), ['connecting']);
});

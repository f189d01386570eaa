// The device's handshake against a desktop that misbehaves or is not the one it paired with.
import assert from 'node:assert/strict';
import {test} from 'node:test';

import {SealedDirection} from '../src/frames.js';

import {connectDevice, hex, serverFrame, vectors} from './desktop.js';

const {pairing, pairingSession, reconnection, frames} = vectors;

function outcome(run) {
    return run.events.map(([type, event]) => (type === 'closed' ? `closed:${event.reason}` : type));
}

function reconnectedDevice() {
    const run = connectDevice({secret: pairing.secret, random: [reconnection.clientNonce]});
    run.socket.deliver(serverFrame({_: 'au', no: reconnection.serverNonce}));
    return run;
}

test('a server key that does not match its commitment ends the pairing before any code', () => {
    const run = connectDevice({random: [pairing.clientPrivateKey]});
    run.socket.deliver(serverFrame({_: 'au', pc: pairing.commitment}));
    run.socket.deliver(serverFrame({_: 'wa', pk: pairing.clientPublicKey}));
    assert.deepEqual(outcome(run), ['closed:commitmentMismatch']);
    assert.equal(run.socket.closeCode, 1000);
});

test('protocol 1 messages, malformed and out-of-turn handshakes close the connection', () => {
    const cases = [
        [{_: 'au', st: 'A'.repeat(32)}, 'protocol1'],
        [{_: 'au', t: 'A'.repeat(32)}, 'protocol1'],
        [{_: 'wa'}, 'protocol1'],
        [{_: 'wa', pk: pairing.serverPublicKey}, 'malformed'],
        [{_: 'au', pc: pairing.commitment.toUpperCase()}, 'malformed'],
        ['{"_":"au","no":"00","no":"' + reconnection.serverNonce + '"}', 'malformed'],
        [[...serverFrame({_: 'au', no: reconnection.serverNonce}), 1, 0, 0], 'malformed'],
        [[...serverFrame({_: 'au', no: reconnection.serverNonce}), 1, 0, 0, 0, 9, 0], 'malformed'],
    ];
    for (const [message, reason] of cases) {
        const run = connectDevice({secret: pairing.secret});
        run.socket.deliver(Array.isArray(message) ? Uint8Array.from(message) : serverFrame(message));
        assert.deepEqual(outcome(run), [`closed:${reason}`], JSON.stringify(message));
        assert.deepEqual(run.socket.sent, []);
    }
});

test('a verdict without the right server proof closes and keeps the secret', () => {
    const keys = {s2c: hex(reconnection.serverToClientKey), wrong: hex(pairingSession.serverToClientKey)};
    const verdicts = [
        new SealedDirection(keys.s2c).seal(serverFrame({_: 'au', v: true, h: reconnection.clientProof})),
        new SealedDirection(keys.s2c).seal(serverFrame({_: 'au', v: true})),
        new SealedDirection(keys.wrong).seal(hex(frames[0].plain)),
        hex(frames[0].plain),
    ];
    for (const verdict of verdicts) {
        const run = reconnectedDevice();
        run.socket.deliver(verdict);
        assert.deepEqual(outcome(run), ['closed:unproven']);
        assert.equal(run.connection.secret, pairing.secret);
    }
});

test('a tampered or replayed frame does not open and closes the connection', () => {
    const tampered = hex(frames[2].sealed);
    tampered[7] ^= 1;
    for (const frame of [tampered, hex(frames[0].sealed)]) {
        const run = reconnectedDevice();
        run.socket.deliver(hex(frames[0].sealed));
        run.socket.deliver(frame);
        assert.deepEqual(outcome(run), ['admitted', 'closed:unopenable']);
        assert.equal(run.connection.send({_: 'v'}), false);
    }
});

function waitingDevice() {
    const run = connectDevice();
    run.socket.deliver(serverFrame({_: 'au', pc: pairing.commitment}));
    run.socket.deliver(serverFrame({_: 'wa', pk: pairing.serverPublicKey}));
    return run;
}

test('what the desktop decides is told apart from a dropped connection', () => {
    const waiting = waitingDevice();
    waiting.socket.hangUp(1000);
    assert.deepEqual(outcome(waiting), ['waiting', 'refused', 'closed:refused']);

    const forgotten = connectDevice({secret: pairing.secret});
    forgotten.socket.deliver(serverFrame({_: 'au', pc: pairing.commitment}));
    const notAccepted = reconnectedDevice();
    notAccepted.socket.hangUp(1000);
    const unknown = connectDevice();
    unknown.socket.deliver(serverFrame({_: 'au', no: reconnection.serverNonce}));
    for (const [run, reason] of [[forgotten, 'forgotten'], [notAccepted, 'notAccepted'], [unknown, 'noSecret']]) {
        assert.deepEqual(outcome(run), ['secretrejected', 'closed:secretRejected']);
        assert.equal(run.events[0][1].reason, reason);
    }

    for (const dropped of [waitingDevice(), reconnectedDevice()]) {
        dropped.socket.hangUp(1006);
        assert.equal(outcome(dropped).at(-1), 'closed:dropped');
    }
});

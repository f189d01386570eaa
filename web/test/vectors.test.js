// Every value of the shared protocol 2 vectors, computed the device's way.
import assert from 'node:assert/strict';
import {test} from 'node:test';

import {toHex} from '../src/bytes.js';
import {hkdf, sha256, x25519PublicKey, x25519SharedSecret} from '../src/crypto.js';
import {pairingCode, pairingSecret, proof, sessionKeys, transcriptHash} from '../src/derivation.js';
import {SealedDirection} from '../src/frames.js';

import {connectDevice, hex, serverFrame, vectors} from './desktop.js';

const {deviceId, pairing, pairingSession, reconnection, frames} = vectors;

test('pairing values', () => {
    assert.equal(toHex(x25519PublicKey(hex(pairing.clientPrivateKey))), pairing.clientPublicKey);
    assert.equal(toHex(x25519PublicKey(hex(pairing.serverPrivateKey))), pairing.serverPublicKey);
    assert.equal(toHex(sha256(hex(pairing.serverPublicKey))), pairing.commitment);
    const shared = x25519SharedSecret(hex(pairing.clientPrivateKey), hex(pairing.serverPublicKey));
    assert.equal(toHex(shared), pairing.sharedSecret);
    const transcript = transcriptHash(hex(pairing.clientPublicKey), hex(pairing.serverPublicKey), deviceId);
    assert.equal(toHex(transcript), pairing.transcriptHash);
    assert.equal(toHex(hkdf(shared, transcript, 'pavo2 code', 8)), pairing.codeBytes);
    assert.equal(pairingCode(shared, transcript), pairing.code);
    const secretBytes = hkdf(shared, transcript, 'pavo2 secret', 64);
    assert.equal(toHex(secretBytes), pairing.secretBytes);
    const rejected = [...secretBytes.keys()].filter((i) => secretBytes[i] >= 248 && i <= pairing.rejectedBytes.at(-1));
    assert.deepEqual(rejected, pairing.rejectedBytes);
    assert.equal(pairingSecret(shared, transcript), pairing.secret);
});

test('session keys and proofs', () => {
    for (const session of [pairingSession, reconnection]) {
        const keys = sessionKeys(pairing.secret, hex(session.clientNonce), hex(session.serverNonce));
        assert.equal(toHex(keys.clientToServer), session.clientToServerKey);
        assert.equal(toHex(keys.serverToClient), session.serverToClientKey);
    }
    const nonces = [hex(reconnection.serverNonce), hex(reconnection.clientNonce)];
    assert.equal(toHex(proof('client', pairing.secret, ...nonces, deviceId)), reconnection.clientProof);
    assert.equal(toHex(proof('server', pairing.secret, ...nonces, deviceId)), reconnection.serverProof);
});

test('sealed frames', () => {
    const key = (frame) => hex(reconnection[`${frame.direction}Key`]);
    const openers = Object.fromEntries(frames.map((frame) => [frame.direction, new SealedDirection(key(frame))]));
    for (const frame of frames) {
        assert.equal(toHex(openers[frame.direction].open(hex(frame.sealed))), frame.plain,
                     `${frame.direction} ${frame.counter}`);
        const sealer = new SealedDirection(key(frame));
        sealer.counter = BigInt(frame.counter);
        assert.equal(toHex(sealer.seal(hex(frame.plain))), frame.sealed);
    }
});

test('a device pairs and reconnects exactly as the vectors do', () => {
    const pairingRun = connectDevice({random: [pairing.clientPrivateKey]});
    assert.match(pairingRun.socket.url, /\?i=Ger%C3%A4t-7%20\(phone\)&v=2$/);
    pairingRun.socket.deliver(serverFrame({_: 'au', pc: pairing.commitment}));
    assert.deepEqual(pairingRun.socket.sentJson(), {_: 'au', pk: pairing.clientPublicKey});
    pairingRun.socket.deliver(serverFrame({_: 'wa', pk: pairing.serverPublicKey}));
    assert.equal(pairingRun.events.at(-1)[1].code, pairing.code);
    const pairingVerdict =
        new SealedDirection(hex(pairingSession.serverToClientKey)).seal(serverFrame({_: 'au', v: true}));
    pairingRun.socket.deliver(pairingVerdict);
    assert.deepEqual(
        pairingRun.events.map(([type, event]) => [type, event.secret, event.paired]),
        [['waiting', undefined, undefined], ['admitted', pairing.secret, true]],
    );

    const {connection, socket, events} = connectDevice({secret: pairing.secret, random: [reconnection.clientNonce]});
    socket.deliver(serverFrame({_: 'au', no: reconnection.serverNonce}));
    assert.deepEqual(socket.sentJson(), {_: 'au', no: reconnection.clientNonce, h: reconnection.clientProof});
    socket.deliver(hex(frames[0].sealed));
    assert.equal(connection.send({_: 'ai', i: 'org.gnome.Nautilus', s: 48}), true);
    assert.equal(toHex(socket.sent.at(-1)), frames[1].sealed);
    socket.deliver(hex(frames[2].sealed));
    assert.deepEqual(events.map(([type]) => type), ['admitted', 'message']);
    const iconFrame = Buffer.from(frames[2].plain, 'hex');
    const png = iconFrame.subarray(4 + iconFrame.readInt32BE(0) + 5);
    assert.deepEqual(events[1][1].json, {_: 'ai', i: 'org.gnome.Nautilus', s: 48});
    assert.deepEqual(events[1][1].attachments, [{kind: 1, bytes: Uint8Array.from(png)}]);
});

// What both sides compute alike from the keys, nonces and secret of a connection.
import {concat, utf8} from './bytes.js';
import {hkdf, hmacSha256, sha256} from './crypto.js';

const SECRET_ALPHABET = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789';
const SECRET_LENGTH = 32;
// The largest multiple of 62 below 256: bytes from here on would favour the first characters.
const FIRST_REJECTED_BYTE = 248;

export function transcriptHash(clientPublicKey, serverPublicKey, deviceId) {
    return sha256(concat(clientPublicKey, serverPublicKey, utf8(deviceId)));
}

export function pairingCode(sharedSecret, transcript) {
    const bytes = hkdf(sharedSecret, transcript, 'pavo2 code', 8);
    const number = new DataView(bytes.buffer, bytes.byteOffset, 8).getBigUint64(0);
    return (number % 1000000n).toString().padStart(6, '0');
}

// Null in the rare case that too many bytes are rejected: the pairing then fails.
export function pairingSecret(sharedSecret, transcript) {
    let secret = '';
    for (const byte of hkdf(sharedSecret, transcript, 'pavo2 secret', 64)) {
        if (byte < FIRST_REJECTED_BYTE)
            secret += SECRET_ALPHABET[byte % SECRET_ALPHABET.length];
        if (secret.length === SECRET_LENGTH)
            return secret;
    }
    return null;
}

export function sessionKeys(secret, clientNonce, serverNonce) {
    const nonces = concat(clientNonce, serverNonce);
    return {
        clientToServer: hkdf(utf8(secret), nonces, 'pavo2 client to server', 32),
        serverToClient: hkdf(utf8(secret), nonces, 'pavo2 server to client', 32),
    };
}

// label is "client" for the device's challenge answer, "server" for the desktop's verdict.
export function proof(label, secret, serverNonce, clientNonce, deviceId) {
    return hmacSha256(utf8(secret), concat(utf8(label), serverNonce, clientNonce, utf8(deviceId)));
}

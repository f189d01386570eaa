// The few primitives protocol 2 is built from. A page served over plain http is no secure
// context, so WebCrypto's subtle interface is missing there: these come from audited packages.
import {chacha20poly1305} from '@noble/ciphers/chacha.js';
import {x25519} from '@noble/curves/ed25519.js';
import {hkdf as hkdfSha256} from '@noble/hashes/hkdf.js';
import {hmac} from '@noble/hashes/hmac.js';
import {sha256 as sha256Hash} from '@noble/hashes/sha2.js';
import {randomBytes as nobleRandomBytes} from '@noble/hashes/utils.js';

const asciiEncoder = new TextEncoder();

// crypto.getRandomValues underneath, in browsers and in node alike.
export function randomBytes(length) {
    return nobleRandomBytes(length);
}

export function sha256(bytes) {
    return sha256Hash(bytes);
}

export function hkdf(ikm, salt, label, length) {
    return hkdfSha256(sha256Hash, ikm, salt, asciiEncoder.encode(label), length);
}

export function hmacSha256(key, message) {
    return hmac(sha256Hash, key, message);
}

export function x25519PublicKey(privateKey) {
    return x25519.getPublicKey(privateKey);
}

// Null for a peer key of low order: its all-zero result would make every key guessable.
export function x25519SharedSecret(privateKey, peerPublicKey) {
    try {
        const shared = x25519.getSharedSecret(privateKey, peerPublicKey);
        return shared.some((byte) => byte !== 0) ? shared : null;
    } catch {
        return null;
    }
}

export function seal(key, nonce, plain) {
    return chacha20poly1305(key, nonce).encrypt(plain);
}

// Null when the tag does not match: altered, replayed or misdirected.
export function open(key, nonce, sealed) {
    try {
        return chacha20poly1305(key, nonce).decrypt(sealed);
    } catch {
        return null;
    }
}

// Takes as long whatever the contents, so a proof cannot be guessed byte by byte.
export function equalInConstantTime(a, b) {
    if (a.length !== b.length)
        return false;
    let difference = 0;
    for (let i = 0; i < a.length; ++i)
        difference |= a[i] ^ b[i];
    return difference === 0;
}

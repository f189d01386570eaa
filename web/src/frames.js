// Server frames, sealed frames and the strict reading of message objects.
import {fromUtf8} from './bytes.js';
import {open as openSealed, seal as sealPlain} from './crypto.js';

const LAST_COUNTER = (1n << 64n) - 1n;

// One direction of a sealed connection: the nonce is the number of frames handled before.
export class SealedDirection {
    constructor(key) {
        this.key = key;
        this.counter = 0n;
    }

    // Null once the counter would repeat a nonce.
    seal(plain) {
        if (this.counter >= LAST_COUNTER)
            return null;
        return sealPlain(this.key, this.nextNonce(), plain);
    }

    // Null for a frame that does not open; the counter stays, so nothing can be opened after it.
    open(sealed) {
        const plain = openSealed(this.key, this.nonce(), sealed);
        if (plain)
            ++this.counter;
        return plain;
    }

    nextNonce() {
        const nonce = this.nonce();
        ++this.counter;
        return nonce;
    }

    nonce() {
        const nonce = new Uint8Array(12);
        new DataView(nonce.buffer).setBigUint64(4, this.counter);
        return nonce;
    }
}

// A server frame as {json, attachments: [{kind, bytes}]}, or null when its lengths do not add up
// or its JSON is not one well-formed object.
export function parseServerFrame(frame) {
    const view = new DataView(frame.buffer, frame.byteOffset, frame.byteLength);
    if (frame.length < 4)
        return null;
    const jsonLength = view.getInt32(0);
    if (jsonLength < 0 || 4 + jsonLength > frame.length)
        return null;
    const json = parseMessage(fromUtf8(frame.subarray(4, 4 + jsonLength)));
    if (!json)
        return null;
    const attachments = [];
    for (let offset = 4 + jsonLength; offset < frame.length;) {
        if (offset + 5 > frame.length)
            return null;
        const kind = view.getInt8(offset);
        const length = view.getInt32(offset + 1);
        offset += 5;
        if (length < 0 || offset + length > frame.length)
            return null;
        attachments.push({kind, bytes: frame.slice(offset, offset + length)});
        offset += length;
    }
    return {json, attachments};
}

// The object a message text holds, or null: not JSON, not an object, or a key given twice
// (which JSON.parse would silently resolve one way while another reader might resolve it another).
export function parseMessage(text) {
    if (typeof text !== 'string')
        return null;
    let value;
    try {
        value = JSON.parse(text);
    } catch {
        return null;
    }
    const isObject = value !== null && typeof value === 'object' && !Array.isArray(value);
    return isObject && !repeatsAKey(text) ? value : null;
}

// Walks text already known to be JSON: strings and the brackets and commas between them suffice.
function repeatsAKey(text) {
    const scopes = [];
    for (const [token] of text.matchAll(/"(?:[^"\\]|\\.)*"|[{}[\],]/g)) {
        const scope = scopes[scopes.length - 1];
        if (token === '{')
            scopes.push({keys: new Set(), expectsKey: true});
        else if (token === '[')
            scopes.push(null);
        else if (token === '}' || token === ']')
            scopes.pop();
        else if (token === ',') {
            if (scope)
                scope.expectsKey = true;
        } else if (scope && scope.expectsKey) {
            const key = JSON.parse(token);
            if (scope.keys.has(key))
                return true;
            scope.keys.add(key);
            scope.expectsKey = false;
        }
    }
    return false;
}

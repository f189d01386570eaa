const utf8Encoder = new TextEncoder();
const utf8Decoder = new TextDecoder('utf-8', {fatal: true});

export function utf8(text) {
    return utf8Encoder.encode(text);
}

// Null for bytes that are not UTF-8.
export function fromUtf8(bytes) {
    try {
        return utf8Decoder.decode(bytes);
    } catch {
        return null;
    }
}

export function toHex(bytes) {
    return Array.from(bytes, (byte) => byte.toString(16).padStart(2, '0')).join('');
}

// Byte strings in messages are lower-case hexadecimal of one exact length; anything else is null.
export function fromHex(text, length) {
    if (typeof text !== 'string' || text.length !== 2 * length || !/^[0-9a-f]*$/.test(text))
        return null;
    const bytes = new Uint8Array(length);
    for (let i = 0; i < length; ++i)
        bytes[i] = parseInt(text.substr(2 * i, 2), 16);
    return bytes;
}

export function concat(...parts) {
    const whole = new Uint8Array(parts.reduce((sum, part) => sum + part.length, 0));
    let offset = 0;
    for (const part of parts) {
        whole.set(part, offset);
        offset += part.length;
    }
    return whole;
}

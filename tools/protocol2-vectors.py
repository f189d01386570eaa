#!/usr/bin/env python3
# Computes docs/protocol2-vectors.json with an implementation independent of the program's (Python
# "cryptography", Debian package python3-cryptography): python3 tools/protocol2-vectors.py > docs/protocol2-vectors.json
import hashlib, hmac, json, struct
from cryptography.hazmat.primitives.asymmetric.x25519 import X25519PrivateKey, X25519PublicKey
from cryptography.hazmat.primitives.kdf.hkdf import HKDF
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.ciphers.aead import ChaCha20Poly1305

ALPHABET = b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
raw = serialization.Encoding.Raw
def pub(k): return k.public_key().public_bytes(raw, serialization.PublicFormat.Raw)
def hkdf(ikm, salt, info, n): return HKDF(hashes.SHA256(), n, salt, info).derive(ikm)

device_id = "Gerät-7 (phone)"
def derive(seed):
    cpriv = hashlib.sha256(b"pavo2 vector client %d" % seed).digest()
    spriv = hashlib.sha256(b"pavo2 vector server %d" % seed).digest()
    c = X25519PrivateKey.from_private_bytes(cpriv); s = X25519PrivateKey.from_private_bytes(spriv)
    pc, ps = pub(c), pub(s)
    shared = c.exchange(X25519PublicKey.from_public_bytes(ps))
    assert shared == s.exchange(X25519PublicKey.from_public_bytes(pc))
    transcript = hashlib.sha256(pc + ps + device_id.encode()).digest()
    code_bytes = hkdf(shared, transcript, b"pavo2 code", 8)
    code = "%06d" % (struct.unpack(">Q", code_bytes)[0] % 1000000)
    secret_bytes = hkdf(shared, transcript, b"pavo2 secret", 64)
    secret, rejected = b"", []
    for i, b in enumerate(secret_bytes):
        if len(secret) == 32: break
        if b < 248: secret += ALPHABET[b % 62:b % 62 + 1]
        else: rejected.append(i)
    return dict(clientPrivateKey=cpriv, clientPublicKey=pc, serverPrivateKey=spriv, serverPublicKey=ps,
                commitment=hashlib.sha256(ps).digest(), sharedSecret=shared, transcriptHash=transcript,
                codeBytes=code_bytes, code=code, secretBytes=secret_bytes, rejectedBytes=rejected,
                secret=secret.decode())

seed = 0
while True:
    p = derive(seed)
    if len(p["rejectedBytes"]) >= 2: break
    seed += 1

def session(secret, nc, ns):
    return dict(clientNonce=nc, serverNonce=ns,
                clientToServerKey=hkdf(secret.encode(), nc + ns, b"pavo2 client to server", 32),
                serverToClientKey=hkdf(secret.encode(), nc + ns, b"pavo2 server to client", 32))

def proof(label, secret, ns, nc): return hmac.new(secret.encode(), label + ns + nc + device_id.encode(), hashlib.sha256).digest()

pairing_session = session(p["secret"], p["clientPublicKey"], p["serverPublicKey"])
ns = hashlib.sha256(b"pavo2 vector server nonce").digest()
nc = hashlib.sha256(b"pavo2 vector client nonce").digest()
rec = session(p["secret"], nc, ns)
rec["clientProof"] = proof(b"client", p["secret"], ns, nc)
rec["serverProof"] = proof(b"server", p["secret"], ns, nc)

def server_frame(js, attachments=()):
    out = struct.pack(">i", len(js)) + js
    for kind, data in attachments: out += struct.pack(">bi", kind, len(data)) + data
    return out
def seal(key, counter, plain): return ChaCha20Poly1305(key).encrypt(counter.to_bytes(12, "big"), plain, None)

verdict = ('{"_":"au","h":"%s","v":true}' % rec["serverProof"].hex()).encode()
request = b'{"_":"ai","i":"org.gnome.Nautilus","s":48}'
png = bytes.fromhex("89504e470d0a1a0a") + b"stand-in image bytes"
reply = b'{"_":"ai","i":"org.gnome.Nautilus","s":48}'
frames = []
for direction, key, counter, plain in [
        ("serverToClient", rec["serverToClientKey"], 0, server_frame(verdict)),
        ("clientToServer", rec["clientToServerKey"], 0, request),
        ("serverToClient", rec["serverToClientKey"], 1, server_frame(reply, [(1, png)]))]:
    frames.append(dict(direction=direction, counter=counter, plain=plain, sealed=seal(key, counter, plain)))

def hexed(d):
    return {k: (v.hex() if isinstance(v, bytes) else v) for k, v in d.items()}
doc = {
    "about": "Protocol 2 test vectors (docs/protocol.md). Byte strings are lower-case hexadecimal; "
             "texts are UTF-8. Reconnection and frames use the secret that the pairing derived.",
    "deviceId": device_id,
    "pairing": hexed(p),
    "pairingSession": hexed(pairing_session),
    "reconnection": hexed(rec),
    "frames": [hexed(f) for f in frames],
}
print(json.dumps(doc, indent=2, ensure_ascii=False))

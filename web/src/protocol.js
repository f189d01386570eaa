// One protocol 2 connection from the device's side: pairing with a code to compare, or the
// challenge of a paired device, then sealed messages both ways.
//
// Events (plain Events with the named properties):
//   waiting        {code}              the desktop is asking its user; show the code beside it
//   admitted       {secret, paired}    keep the secret when paired is true (a new pairing)
//   refused                            the desktop's user refused the pairing or did not answer
//   secretrejected {reason}            the desktop no longer accepts this device's secret:
//                                      "forgotten" (it forgot the device; the same id can pair
//                                      again), "notAccepted" (it holds another secret for this
//                                      id), "noSecret" (it knows the id, this side holds no secret)
//   message        {json, attachments} a message from the desktop, attachments [{kind, bytes}]
//   closed         {reason}            always last
import {fromHex, toHex, utf8} from './bytes.js';
import {equalInConstantTime, randomBytes, sha256, x25519PublicKey, x25519SharedSecret} from './crypto.js';
import {pairingCode, pairingSecret, proof, sessionKeys, transcriptHash} from './derivation.js';
import {parseServerFrame, SealedDirection} from './frames.js';

const NORMAL_CLOSURE = 1000;

export function connectionUrl(serverUrl, deviceId) {
    const url = new URL(serverUrl);
    url.search = `?i=${encodeURIComponent(deviceId)}&v=2`;
    return url.href;
}

export class RemoteConnection extends EventTarget {
    // openSocket(url) returns a WebSocket or anything with its interface; random(n) is the
    // source of the key and nonces.
    constructor({serverUrl, deviceId, secret = null, openSocket = (url) => new WebSocket(url), random = randomBytes}) {
        super();
        this.serverUrl = serverUrl;
        this.deviceId = deviceId;
        this.secret = secret;
        this.openSocket = openSocket;
        this.random = random;
        this.state = 'idle';
    }

    connect() {
        if (this.state !== 'idle')
            return;
        this.state = 'connecting';
        this.socket = this.openSocket(connectionUrl(this.serverUrl, this.deviceId));
        this.socket.binaryType = 'arraybuffer';
        this.socket.onmessage = (event) => this.receive(event.data);
        this.socket.onclose = (event) => this.peerClosed(event.code);
    }

    // False unless admitted; the message goes out sealed.
    send(message) {
        if (this.state !== 'admitted')
            return false;
        const sealed = this.outgoing.seal(utf8(JSON.stringify(message)));
        if (!sealed) {
            this.finish('exhausted');
            return false;
        }
        this.socket.send(sealed);
        return true;
    }

    close() {
        this.finish('closedByPage');
    }

    receive(data) {
        if (this.state === 'closed')
            return;
        if (!(data instanceof ArrayBuffer))
            return this.finish('malformed');
        const bytes = new Uint8Array(data);
        if (this.state === 'admitted')
            return this.receiveSealed(bytes);
        if (this.state === 'waiting' || this.state === 'proving')
            return this.receiveVerdict(bytes);
        const frame = parseServerFrame(bytes);
        if (!frame)
            return this.finish('malformed');
        if (speaksProtocol1(frame.json))
            return this.finish('protocol1');
        if (this.state === 'pairing')
            return this.receiveServerKey(frame.json);
        if (frame.json._ === 'au' && 'pc' in frame.json)
            return this.receiveCommitment(frame.json.pc);
        if (frame.json._ === 'au' && 'no' in frame.json)
            return this.receiveChallenge(frame.json.no);
        this.finish('malformed');
    }

    receiveCommitment(commitmentHex) {
        const commitment = fromHex(commitmentHex, 32);
        if (!commitment)
            return this.finish('malformed');
        if (this.secret)
            return this.rejectSecret('forgotten');
        this.commitment = commitment;
        this.privateKey = this.random(32);
        this.publicKey = x25519PublicKey(this.privateKey);
        this.state = 'pairing';
        this.sendClear({_: 'au', pk: toHex(this.publicKey)});
    }

    receiveServerKey(json) {
        const serverKey = json._ === 'wa' ? fromHex(json.pk, 32) : null;
        if (!serverKey)
            return this.finish('malformed');
        // Bound to its key before it saw ours, a desktop impersonator cannot search for a matching code.
        if (!equalInConstantTime(sha256(serverKey), this.commitment))
            return this.finish('commitmentMismatch');
        const shared = x25519SharedSecret(this.privateKey, serverKey);
        if (!shared)
            return this.finish('pairingFailed');
        const transcript = transcriptHash(this.publicKey, serverKey, this.deviceId);
        const secret = pairingSecret(shared, transcript);
        if (!secret)
            return this.finish('pairingFailed');
        this.pairedSecret = secret;
        this.startSealing(secret, this.publicKey, serverKey);
        this.state = 'waiting';
        this.emit('waiting', {code: pairingCode(shared, transcript)});
    }

    receiveChallenge(serverNonceHex) {
        const serverNonce = fromHex(serverNonceHex, 32);
        if (!serverNonce)
            return this.finish('malformed');
        if (!this.secret)
            return this.rejectSecret('noSecret');
        const clientNonce = this.random(32);
        const answer = proof('client', this.secret, serverNonce, clientNonce, this.deviceId);
        this.expectedServerProof = proof('server', this.secret, serverNonce, clientNonce, this.deviceId);
        this.startSealing(this.secret, clientNonce, serverNonce);
        this.state = 'proving';
        this.sendClear({_: 'au', no: toHex(clientNonce), h: toHex(answer)});
    }

    // A verdict that does not open or prove the desktop means another party answered: the secret
    // stays, since the desktop we paired with may still hold it.
    receiveVerdict(sealed) {
        const plain = this.incoming.open(sealed);
        const verdict = plain && parseServerFrame(plain);
        if (!verdict || verdict.json._ !== 'au' || verdict.json.v !== true)
            return this.finish('unproven');
        const paired = this.state === 'waiting';
        if (!paired) {
            const serverProof = fromHex(verdict.json.h, 32);
            if (!serverProof || !equalInConstantTime(serverProof, this.expectedServerProof))
                return this.finish('unproven');
        } else {
            this.secret = this.pairedSecret;
        }
        this.state = 'admitted';
        this.emit('admitted', {secret: this.secret, paired});
    }

    receiveSealed(sealed) {
        const plain = this.incoming.open(sealed);
        const frame = plain && parseServerFrame(plain);
        if (!frame)
            return this.finish(plain ? 'malformed' : 'unopenable');
        this.emit('message', frame);
    }

    startSealing(secret, clientNonce, serverNonce) {
        const keys = sessionKeys(secret, clientNonce, serverNonce);
        this.outgoing = new SealedDirection(keys.clientToServer);
        this.incoming = new SealedDirection(keys.serverToClient);
    }

    sendClear(message) {
        this.socket.send(utf8(JSON.stringify(message)));
    }

    rejectSecret(reason) {
        this.emit('secretrejected', {reason});
        this.finish('secretRejected');
    }

    // The desktop closes with 1000 to refuse; any other code is the network or the program going.
    peerClosed(code) {
        if (this.state === 'closed')
            return;
        const refusal = code === NORMAL_CLOSURE;
        if (refusal && this.state === 'waiting') {
            this.emit('refused', {});
            return this.finish('refused');
        }
        if (refusal && this.state === 'proving')
            return this.rejectSecret('notAccepted');
        this.finish('dropped');
    }

    finish(reason) {
        if (this.state === 'closed')
            return;
        this.state = 'closed';
        this.privateKey = this.pairedSecret = this.outgoing = this.incoming = null;
        if (this.socket) {
            this.socket.onmessage = this.socket.onclose = null;
            this.socket.close(NORMAL_CLOSURE);
        }
        this.emit('closed', {reason});
    }

    emit(type, properties) {
        this.dispatchEvent(Object.assign(new Event(type), properties));
    }
}

// Protocol 2 never falls back: an older desktop's token, secret or plain prompt ends the connection.
function speaksProtocol1(json) {
    if (json._ === 'au')
        return 'st' in json || 't' in json;
    return json._ === 'wa' && !('pk' in json);
}

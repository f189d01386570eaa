#include "server/securesession.h"

#include "server/keyschedule.h"
#include "server/random.h"

#include <openssl/crypto.h>

QByteArray SecureSession::startPairing()
{
    serverKey = std::make_unique<KeyAgreement>();
    return serverKey->isValid() ? KeySchedule::commitment(serverKey->publicKey()) : QByteArray();
}

bool SecureSession::receiveClientKey(const QByteArray& key, const QString& deviceId)
{
    if (!awaitsClientKey() || key.size() != KeyAgreement::KeySize)
        return false;
    clientKey = key;
    QByteArray shared = serverKey->sharedSecret(key);
    if (shared.isEmpty())
        return false;
    const QByteArray transcript = KeySchedule::transcriptHash(clientKey, serverKey->publicKey(), deviceId);
    code = KeySchedule::pairingCode(shared, transcript);
    derivedSecret = KeySchedule::pairingSecret(shared, transcript);
    OPENSSL_cleanse(shared.data(), size_t(shared.size()));
    return !code.isEmpty() && !derivedSecret.isEmpty();
}

bool SecureSession::sealPairing()
{
    if (derivedSecret.isEmpty() || channel)
        return false;
    startChannel(derivedSecret, clientKey, serverKey->publicKey());
    return true;
}

QByteArray SecureSession::startChallenge()
{
    serverNonce = randomBytes(NonceSize);
    return serverNonce;
}

bool SecureSession::answerChallenge(const QString& secret, const QString& deviceId, const QByteArray& clientNonce,
                                    const QByteArray& clientProof)
{
    if (!awaitsAnswer())
        return false;
    answered = true;
    if (clientNonce.size() != NonceSize ||
        !KeySchedule::proofMatches(clientProof, KeySchedule::Role::Client, secret, deviceId, serverNonce, clientNonce))
        return false;
    proofForClient = KeySchedule::proof(KeySchedule::Role::Server, secret, deviceId, serverNonce, clientNonce);
    startChannel(secret, clientNonce, serverNonce);
    return true;
}

void SecureSession::startChannel(const QString& secret, const QByteArray& clientNonce, const QByteArray& nonce)
{
    KeySchedule::SessionKeys keys = KeySchedule::sessionKeys(secret, clientNonce, nonce);
    channel = std::make_unique<SealedChannel>(KeySchedule::Role::Server, keys);
    for (QByteArray* key : {&keys.clientToServer, &keys.serverToClient})
        OPENSSL_cleanse(key->data(), size_t(key->size()));
}

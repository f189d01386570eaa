#pragma once

#include "server/keyagreement.h"
#include "server/sealedchannel.h"

#include <QByteArray>
#include <QString>

#include <memory>

// The server's side of one protocol 2 connection: the pairing or the challenge it is in, then the
// sealed channel every frame goes through once the device is admitted.
class SecureSession
{
public:
    static constexpr int NonceSize = 32;

    // Pairing: the commitment to the server's fresh key goes out before the client's key comes in.
    QByteArray startPairing();
    bool awaitsClientKey() const { return serverKey && clientKey.isEmpty(); }
    // False when the key is unusable; then the code and the secret stay empty.
    bool receiveClientKey(const QByteArray& key, const QString& deviceId);
    QByteArray serverPublicKey() const { return serverKey ? serverKey->publicKey() : QByteArray(); }
    QString pairingCode() const { return code; }
    QString pairingSecret() const { return derivedSecret; }
    // The user consented: the pairing connection goes on sealed, its public keys as the nonces.
    bool sealPairing();

    // Challenge of a paired device: a fresh nonce, answered once.
    QByteArray startChallenge();
    bool awaitsAnswer() const { return !serverNonce.isEmpty() && !answered; }
    // Answered once, right or wrong. On a right answer the session is sealed and serverProof()
    // holds what the verdict carries.
    bool answerChallenge(const QString& secret, const QString& deviceId, const QByteArray& clientNonce,
                         const QByteArray& clientProof);
    QByteArray serverProof() const { return proofForClient; }

    bool isSealed() const { return channel != nullptr; }
    QByteArray seal(const QByteArray& plain) { return channel->seal(plain); }
    bool open(const QByteArray& sealed, QByteArray* plain) { return channel->open(sealed, plain); }

private:
    void startChannel(const QString& secret, const QByteArray& clientNonce, const QByteArray& nonce);

    std::unique_ptr<KeyAgreement> serverKey;
    QByteArray clientKey;
    QString code;
    QString derivedSecret;
    QByteArray serverNonce;
    bool answered = false;
    QByteArray proofForClient;
    std::unique_ptr<SealedChannel> channel;
};

#pragma once

#include <QByteArray>
#include <QString>

// Everything protocol 2 derives from a key agreement or a pairing secret: the pairing's
// verification code and secret, the proofs of the mutual challenge and the session keys.
// Results are empty when OpenSSL fails (with a warning), never partial.
class KeySchedule
{
public:
    enum class Role { Client, Server };

    struct SessionKeys
    {
        QByteArray clientToServer;
        QByteArray serverToClient;
    };

    // What the server sends first, so that it cannot pick its key after seeing the client's.
    static QByteArray commitment(const QByteArray& serverPublicKey);
    static QByteArray transcriptHash(const QByteArray& clientPublicKey, const QByteArray& serverPublicKey,
                                     const QString& deviceId);
    // Six decimal digits, the same on both sides only when nobody sat in the middle.
    static QString pairingCode(const QByteArray& sharedSecret, const QByteArray& transcriptHash);
    // 32 characters of A-Z, a-z, 0-9, stored like any pairing secret.
    static QString pairingSecret(const QByteArray& sharedSecret, const QByteArray& transcriptHash);

    static QByteArray proof(Role prover, const QString& secret, const QString& deviceId, const QByteArray& serverNonce,
                            const QByteArray& clientNonce);
    // Constant-time, and false for an empty or short proof.
    static bool proofMatches(const QByteArray& received, Role prover, const QString& secret, const QString& deviceId,
                             const QByteArray& serverNonce, const QByteArray& clientNonce);

    static SessionKeys sessionKeys(const QString& secret, const QByteArray& clientNonce, const QByteArray& serverNonce);
};

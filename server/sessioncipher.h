#pragma once

#include "server/qaesencryption.h"

// The encryption of a known device's connection: the JSON segment of every frame, in both
// directions, is a fresh 16-byte IV followed by AES-128-CBC ciphertext under the session key.
class SessionCipher
{
public:
    // SHA-1 over id, secret, token and the first n bytes of the token, n being the token's first
    // byte (signed) modulo its length. Empty when the token is empty: no key without a challenge.
    static QByteArray sessionKey(const QString& id, const QString& secret, const QString& token);

    // Only the first 16 bytes of the 20-byte key are used by the cipher.
    QByteArray encrypt(const QByteArray& plain, const QByteArray& key) const;
    // Empty for a frame of 16 bytes or less, or a ciphertext that is not whole blocks.
    QByteArray decrypt(const QByteArray& frame, const QByteArray& key) const;

private:
    QAESEncryption cipher{QAESEncryption::AES_128, QAESEncryption::CBC, QAESEncryption::PKCS7};
};

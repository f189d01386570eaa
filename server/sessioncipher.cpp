#include "server/sessioncipher.h"

#include "server/random.h"

#include <QCryptographicHash>

#include <algorithm>

namespace {
constexpr int ivSize = 16;
constexpr int aesKeySize = 16;
} // namespace

QByteArray SessionCipher::sessionKey(const QString& id, const QString& secret, const QString& token)
{
    const QByteArray tokenBytes = token.toUtf8();
    if (tokenBytes.isEmpty())
        return {};
    // The client derives the same key; its sum mixes in a token prefix whose length is the first
    // byte read as signed, remainder taking the dividend's sign, so a negative length adds nothing.
    const int prefix = static_cast<qint8>(tokenBytes.front()) % tokenBytes.size();
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(id.toUtf8());
    hash.addData(secret.toUtf8());
    hash.addData(tokenBytes);
    hash.addData(tokenBytes.left(std::max(prefix, 0)));
    return hash.result();
}

QByteArray SessionCipher::encrypt(const QByteArray& plain, const QByteArray& key) const
{
    const QByteArray iv = randomIv();
    return iv + cipher.encode(plain, key.left(aesKeySize), iv);
}

QByteArray SessionCipher::decrypt(const QByteArray& frame, const QByteArray& key) const
{
    if (frame.size() <= ivSize)
        return {};
    const QByteArray decoded = cipher.decode(frame.mid(ivSize), key.left(aesKeySize), frame.left(ivSize));
    return QAESEncryption::removePadding(decoded);
}

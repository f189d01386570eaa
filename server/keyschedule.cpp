#include "server/keyschedule.h"

#include <QCryptographicHash>
#include <QtEndian>
#include <QtGlobal>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>

namespace {

constexpr int KeySize = 32;
const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr int alphabetSize = sizeof(alphabet) - 1;
// Bytes at or above the largest multiple of 62 below 256 are skipped, so no character is favoured.
constexpr int acceptBelow = 256 / alphabetSize * alphabetSize;
constexpr int secretLength = 32;
// Running short would take 33 of the 64 bytes in the rejected 8 of 256 values: about 10^-32.
constexpr int secretBytes = 64;

OSSL_PARAM octets(const char* name, const QByteArray& bytes)
{
    return OSSL_PARAM_construct_octet_string(name, const_cast<char*>(bytes.constData()), bytes.size());
}

QByteArray hkdf(const QByteArray& inputKey, const QByteArray& salt, const char* info, int length)
{
    EVP_KDF* kdf = EVP_KDF_fetch(nullptr, "HKDF", nullptr);
    EVP_KDF_CTX* context = kdf ? EVP_KDF_CTX_new(kdf) : nullptr;
    EVP_KDF_free(kdf);
    const QByteArray infoBytes(info);
    const OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, const_cast<char*>("SHA256"), 0),
        octets(OSSL_KDF_PARAM_KEY, inputKey),
        octets(OSSL_KDF_PARAM_SALT, salt),
        octets(OSSL_KDF_PARAM_INFO, infoBytes),
        OSSL_PARAM_construct_end(),
    };
    QByteArray output(length, Qt::Uninitialized);
    const bool derived =
        context && EVP_KDF_derive(context, reinterpret_cast<unsigned char*>(output.data()), length, params) == 1;
    EVP_KDF_CTX_free(context);
    if (!derived) {
        qWarning("HKDF-SHA256 failed");
        return {};
    }
    return output;
}

QByteArray hmacSha256(const QByteArray& key, const QByteArray& message)
{
    EVP_MAC* mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    EVP_MAC_CTX* context = mac ? EVP_MAC_CTX_new(mac) : nullptr;
    EVP_MAC_free(mac);
    const OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, const_cast<char*>("SHA256"), 0),
        OSSL_PARAM_construct_end(),
    };
    QByteArray output(KeySize, Qt::Uninitialized);
    size_t size = 0;
    const bool computed =
        context &&
        EVP_MAC_init(context, reinterpret_cast<const unsigned char*>(key.constData()), key.size(), params) == 1 &&
        EVP_MAC_update(context, reinterpret_cast<const unsigned char*>(message.constData()), message.size()) == 1 &&
        EVP_MAC_final(context, reinterpret_cast<unsigned char*>(output.data()), &size, output.size()) == 1 &&
        size == KeySize;
    EVP_MAC_CTX_free(context);
    if (!computed) {
        qWarning("HMAC-SHA256 failed");
        return {};
    }
    return output;
}

void wipe(QByteArray& bytes)
{
    OPENSSL_cleanse(bytes.data(), bytes.size());
}

} // namespace

QByteArray KeySchedule::commitment(const QByteArray& serverPublicKey)
{
    return QCryptographicHash::hash(serverPublicKey, QCryptographicHash::Sha256);
}

QByteArray KeySchedule::transcriptHash(const QByteArray& clientPublicKey, const QByteArray& serverPublicKey,
                                       const QString& deviceId)
{
    // The keys have a fixed size, so the id at the end needs no length to stay unambiguous.
    return QCryptographicHash::hash(clientPublicKey + serverPublicKey + deviceId.toUtf8(), QCryptographicHash::Sha256);
}

QString KeySchedule::pairingCode(const QByteArray& sharedSecret, const QByteArray& transcriptHash)
{
    const QByteArray bytes = hkdf(sharedSecret, transcriptHash, "pavo2 code", sizeof(quint64));
    if (bytes.isEmpty())
        return {};
    // 64 bits modulo a million leave a bias far below anything a person could exploit.
    const quint64 value = qFromBigEndian<quint64>(bytes.constData());
    return QStringLiteral("%1").arg(value % 1000000, 6, 10, QLatin1Char('0'));
}

QString KeySchedule::pairingSecret(const QByteArray& sharedSecret, const QByteArray& transcriptHash)
{
    QByteArray bytes = hkdf(sharedSecret, transcriptHash, "pavo2 secret", secretBytes);
    QString secret;
    for (char byte : bytes) {
        const int value = static_cast<unsigned char>(byte);
        if (value < acceptBelow && secret.size() < secretLength)
            secret.append(QLatin1Char(alphabet[value % alphabetSize]));
    }
    wipe(bytes);
    if (secret.size() < secretLength) {
        qWarning("The key agreement yielded too few secret characters; pair again");
        return {};
    }
    return secret;
}

QByteArray KeySchedule::proof(Role prover, const QString& secret, const QString& deviceId,
                              const QByteArray& serverNonce, const QByteArray& clientNonce)
{
    if (secret.isEmpty())
        return {};
    // Labels of equal length, fixed-size nonces, then the id: no two inputs share an encoding.
    const QByteArray label = prover == Role::Client ? "client" : "server";
    QByteArray key = secret.toUtf8();
    const QByteArray result = hmacSha256(key, label + serverNonce + clientNonce + deviceId.toUtf8());
    wipe(key);
    return result;
}

bool KeySchedule::proofMatches(const QByteArray& received, Role prover, const QString& secret, const QString& deviceId,
                               const QByteArray& serverNonce, const QByteArray& clientNonce)
{
    const QByteArray expected = proof(prover, secret, deviceId, serverNonce, clientNonce);
    return !expected.isEmpty() && received.size() == expected.size() &&
           CRYPTO_memcmp(received.constData(), expected.constData(), expected.size()) == 0;
}

KeySchedule::SessionKeys KeySchedule::sessionKeys(const QString& secret, const QByteArray& clientNonce,
                                                  const QByteArray& serverNonce)
{
    if (secret.isEmpty())
        return {};
    QByteArray inputKey = secret.toUtf8();
    const QByteArray salt = clientNonce + serverNonce;
    SessionKeys keys{hkdf(inputKey, salt, "pavo2 client to server", KeySize),
                     hkdf(inputKey, salt, "pavo2 server to client", KeySize)};
    wipe(inputKey);
    return keys;
}

#include "updater/signatureverifier.h"

#include <QCoreApplication>
#include <QFile>

#include <openssl/evp.h>

namespace updater {

namespace {

constexpr int keySize = 32;
constexpr int signatureSize = 64;

// Only root may write where an installed program reads it; the user's own build keeps it beside the
// program, as writable as the program itself. Never from the environment or the user's home.
QByteArray installedKey()
{
    for (const QString& path : {QStringLiteral("/usr/share/pavo-server/release-key"),
                                QCoreApplication::applicationDirPath() + QStringLiteral("/release-key")}) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            return QByteArray::fromBase64(file.readAll().trimmed());
    }
    return {};
}

QByteArray& publicKey()
{
    static QByteArray key = installedKey();
    return key;
}

const unsigned char* bytes(const QByteArray& data)
{
    return reinterpret_cast<const unsigned char*>(data.constData());
}

bool verify(const QByteArray& key, const QByteArray& signature, const QByteArray& content)
{
    EVP_PKEY* pkey = EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, bytes(key), size_t(key.size()));
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    const bool valid = pkey && context && EVP_DigestVerifyInit(context, nullptr, nullptr, nullptr, pkey) == 1 &&
                       EVP_DigestVerify(context, bytes(signature), size_t(signature.size()), bytes(content),
                                        size_t(content.size())) == 1;
    EVP_MD_CTX_free(context);
    EVP_PKEY_free(pkey);
    return valid;
}

} // namespace

void SignatureVerifier::setPublicKey(const QByteArray& base64)
{
    publicKey() = QByteArray::fromBase64(base64);
}

QString SignatureVerifier::failure(const QString& path, const QByteArray& signature)
{
    if (publicKey().size() != keySize)
        return QStringLiteral("this build has no valid public key to check signatures with");
    if (signature.isEmpty())
        return QStringLiteral("the feed carries no signature");
    const auto decoded = QByteArray::fromBase64Encoding(signature, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != signatureSize)
        return QStringLiteral("the signature is not the base64 of 64 bytes");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read the file: ") + file.errorString();
    if (!verify(publicKey(), decoded.decoded, file.readAll()))
        return QStringLiteral("the signature does not match the file");
    return {};
}

} // namespace updater

#include "server/qaesencryption.h"

#include <QtGlobal>
#include <openssl/evp.h>

#include <memory>

namespace {

constexpr int blockSize = 16;

struct CipherContextFree
{
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;

const char* cipherName(QAESEncryption::Aes level, QAESEncryption::Mode mode)
{
    static const char* const names[3][2] = {
        {"AES-128-ECB", "AES-128-CBC"}, {"AES-192-ECB", "AES-192-CBC"}, {"AES-256-ECB", "AES-256-CBC"}};
    return names[level][mode == QAESEncryption::CBC];
}

const unsigned char* bytes(const QByteArray& data)
{
    return reinterpret_cast<const unsigned char*>(data.constData());
}

bool acceptsKeyAndIv(const EVP_CIPHER* cipher, const QByteArray& key, const QByteArray& iv)
{
    if (key.size() != EVP_CIPHER_key_length(cipher)) {
        qWarning("Wrong AES key length: %d", int(key.size()));
        return false;
    }
    const int ivLength = EVP_CIPHER_iv_length(cipher);
    if (ivLength > 0 && iv.size() != ivLength) {
        qWarning("Wrong AES IV length: %d", int(iv.size()));
        return false;
    }
    return true;
}

// One pass through EVP; padding on for encryption, off for decryption so that the caller sees
// the padding bytes and removes them by its own rule.
QByteArray crypt(const EVP_CIPHER* cipher, bool encrypt, const QByteArray& input, const QByteArray& key,
                 const QByteArray& iv)
{
    if (!acceptsKeyAndIv(cipher, key, iv))
        return {};
    CipherContext context(EVP_CIPHER_CTX_new());
    const unsigned char* ivBytes = EVP_CIPHER_iv_length(cipher) > 0 ? bytes(iv) : nullptr;
    if (!context || EVP_CipherInit_ex(context.get(), cipher, nullptr, bytes(key), ivBytes, encrypt ? 1 : 0) != 1) {
        qWarning("Cannot set up AES");
        return {};
    }
    EVP_CIPHER_CTX_set_padding(context.get(), encrypt ? 1 : 0);
    QByteArray output(input.size() + blockSize, Qt::Uninitialized);
    auto* out = reinterpret_cast<unsigned char*>(output.data());
    int written = 0;
    int finalWritten = 0;
    if (EVP_CipherUpdate(context.get(), out, &written, bytes(input), input.size()) != 1 ||
        EVP_CipherFinal_ex(context.get(), out + written, &finalWritten) != 1) {
        qWarning("AES failed");
        return {};
    }
    output.resize(written + finalWritten);
    return output;
}

} // namespace

QAESEncryption::QAESEncryption(Aes level, Mode mode, Padding, QObject* parent)
    // Fetched once: an implicit fetch on every frame costs more than the encryption itself.
    : QObject(parent), cipher(EVP_CIPHER_fetch(nullptr, cipherName(level, mode), nullptr))
{
}

QAESEncryption::~QAESEncryption()
{
    EVP_CIPHER_free(cipher);
}

QByteArray QAESEncryption::encode(const QByteArray& plain, const QByteArray& key, const QByteArray& iv) const
{
    return crypt(cipher, true, plain, key, iv);
}

QByteArray QAESEncryption::decode(const QByteArray& input, const QByteArray& key, const QByteArray& iv) const
{
    // Partial blocks come from peers, not from our own mistakes: no warning.
    if (input.size() % blockSize != 0)
        return {};
    return crypt(cipher, false, input, key, iv);
}

QByteArray QAESEncryption::removePadding(const QByteArray& decoded)
{
    if (decoded.isEmpty())
        return decoded;
    const int n = static_cast<qint8>(decoded.back());
    return n >= 1 && n <= decoded.size() ? decoded.chopped(n) : decoded;
}

#include "server/sealedchannel.h"

#include <QtEndian>
#include <QtGlobal>
#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <limits>

namespace {

constexpr int KeySize = 32;
constexpr int NonceSize = 12;

// The count as a 96-bit big-endian number.
QByteArray nonceFor(quint64 count)
{
    QByteArray nonce(NonceSize, '\0');
    qToBigEndian(count, nonce.data() + NonceSize - sizeof(count));
    return nonce;
}

unsigned char* writable(QByteArray& bytes)
{
    return reinterpret_cast<unsigned char*>(bytes.data());
}

const unsigned char* readable(const QByteArray& bytes)
{
    return reinterpret_cast<const unsigned char*>(bytes.constData());
}

struct CipherContext
{
    CipherContext() : context(EVP_CIPHER_CTX_new()) {}
    ~CipherContext() { EVP_CIPHER_CTX_free(context); }
    CipherContext(const CipherContext&) = delete;
    CipherContext& operator=(const CipherContext&) = delete;
    EVP_CIPHER_CTX* context;
};

} // namespace

SealedChannel::SealedChannel(KeySchedule::Role role, const KeySchedule::SessionKeys& keys)
    : sendKey(role == KeySchedule::Role::Client ? keys.clientToServer : keys.serverToClient),
      receiveKey(role == KeySchedule::Role::Client ? keys.serverToClient : keys.clientToServer)
{
    // Detached from the caller's copies, so that wiping ours does not touch theirs.
    sendKey.detach();
    receiveKey.detach();
}

SealedChannel::~SealedChannel()
{
    OPENSSL_cleanse(sendKey.data(), sendKey.size());
    OPENSSL_cleanse(receiveKey.data(), receiveKey.size());
}

QByteArray SealedChannel::seal(const QByteArray& plain)
{
    if (sendKey.size() != KeySize || sent == std::numeric_limits<quint64>::max()) {
        qWarning("Cannot seal: no key, or this direction has used all its nonces");
        return {};
    }
    CipherContext cipher;
    QByteArray sealed(plain.size() + TagSize, Qt::Uninitialized);
    int length = 0;
    int finalLength = 0;
    if (!cipher.context ||
        EVP_EncryptInit_ex(cipher.context, EVP_chacha20_poly1305(), nullptr, readable(sendKey),
                           readable(nonceFor(sent))) != 1 ||
        EVP_EncryptUpdate(cipher.context, writable(sealed), &length, readable(plain), plain.size()) != 1 ||
        EVP_EncryptFinal_ex(cipher.context, writable(sealed) + length, &finalLength) != 1 ||
        EVP_CIPHER_CTX_ctrl(cipher.context, EVP_CTRL_AEAD_GET_TAG, TagSize, writable(sealed) + plain.size()) != 1) {
        qWarning("ChaCha20-Poly1305 sealing failed");
        return {};
    }
    ++sent;
    return sealed;
}

bool SealedChannel::open(const QByteArray& sealed, QByteArray* plain)
{
    if (receiveKey.size() != KeySize || sealed.size() < TagSize || received == std::numeric_limits<quint64>::max())
        return false;
    const int cipherSize = sealed.size() - TagSize;
    QByteArray tag = sealed.right(TagSize);
    QByteArray opened(cipherSize, Qt::Uninitialized);
    CipherContext cipher;
    int length = 0;
    int finalLength = 0;
    // The final step checks the tag; nothing of the plain text leaves before it has passed.
    if (!cipher.context ||
        EVP_DecryptInit_ex(cipher.context, EVP_chacha20_poly1305(), nullptr, readable(receiveKey),
                           readable(nonceFor(received))) != 1 ||
        EVP_DecryptUpdate(cipher.context, writable(opened), &length, readable(sealed), cipherSize) != 1 ||
        EVP_CIPHER_CTX_ctrl(cipher.context, EVP_CTRL_AEAD_SET_TAG, TagSize, tag.data()) != 1 ||
        EVP_DecryptFinal_ex(cipher.context, writable(opened) + length, &finalLength) != 1) {
        OPENSSL_cleanse(opened.data(), opened.size());
        return false;
    }
    ++received;
    *plain = opened;
    return true;
}

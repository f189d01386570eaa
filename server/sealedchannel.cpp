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

// Fetched once: OpenSSL 3 looks an algorithm up anew on every init that names it the old way.
const EVP_CIPHER* chacha20Poly1305()
{
    static EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, "ChaCha20-Poly1305", nullptr);
    return cipher;
}

} // namespace

SealedChannel::SealedChannel(KeySchedule::Role role, const KeySchedule::SessionKeys& keys)
    : sealer(EVP_CIPHER_CTX_new()), opener(EVP_CIPHER_CTX_new())
{
    const QByteArray& sendKey = role == KeySchedule::Role::Client ? keys.clientToServer : keys.serverToClient;
    const QByteArray& receiveKey = role == KeySchedule::Role::Client ? keys.serverToClient : keys.clientToServer;
    // The key schedule runs once per direction; each frame then sets only its nonce.
    ready = sealer && opener && sendKey.size() == KeySize && receiveKey.size() == KeySize &&
            EVP_EncryptInit_ex(sealer.get(), chacha20Poly1305(), nullptr, readable(sendKey), nullptr) == 1 &&
            EVP_DecryptInit_ex(opener.get(), chacha20Poly1305(), nullptr, readable(receiveKey), nullptr) == 1;
}

void SealedChannel::ContextDeleter::operator()(EVP_CIPHER_CTX* context) const
{
    EVP_CIPHER_CTX_free(context); // wipes the key schedule
}

QByteArray SealedChannel::seal(const QByteArray& plain)
{
    if (!ready || sent == std::numeric_limits<quint64>::max()) {
        qWarning("Cannot seal: no key, or this direction has used all its nonces");
        return {};
    }
    QByteArray sealed(plain.size() + TagSize, Qt::Uninitialized);
    int length = 0;
    int finalLength = 0;
    if (EVP_EncryptInit_ex(sealer.get(), nullptr, nullptr, nullptr, readable(nonceFor(sent))) != 1 ||
        EVP_EncryptUpdate(sealer.get(), writable(sealed), &length, readable(plain), plain.size()) != 1 ||
        EVP_EncryptFinal_ex(sealer.get(), writable(sealed) + length, &finalLength) != 1 ||
        EVP_CIPHER_CTX_ctrl(sealer.get(), EVP_CTRL_AEAD_GET_TAG, TagSize, writable(sealed) + plain.size()) != 1) {
        qWarning("ChaCha20-Poly1305 sealing failed");
        return {};
    }
    ++sent;
    return sealed;
}

bool SealedChannel::open(const QByteArray& sealed, QByteArray* plain)
{
    if (!ready || sealed.size() < TagSize || received == std::numeric_limits<quint64>::max())
        return false;
    const int cipherSize = sealed.size() - TagSize;
    QByteArray tag = sealed.right(TagSize);
    QByteArray opened(cipherSize, Qt::Uninitialized);
    int length = 0;
    int finalLength = 0;
    // The final step checks the tag; nothing of the plain text leaves before it has passed.
    if (EVP_DecryptInit_ex(opener.get(), nullptr, nullptr, nullptr, readable(nonceFor(received))) != 1 ||
        EVP_DecryptUpdate(opener.get(), writable(opened), &length, readable(sealed), cipherSize) != 1 ||
        EVP_CIPHER_CTX_ctrl(opener.get(), EVP_CTRL_AEAD_SET_TAG, TagSize, tag.data()) != 1 ||
        EVP_DecryptFinal_ex(opener.get(), writable(opened) + length, &finalLength) != 1) {
        OPENSSL_cleanse(opened.data(), opened.size());
        return false;
    }
    ++received;
    *plain = opened;
    return true;
}

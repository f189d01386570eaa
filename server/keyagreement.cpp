#include "server/keyagreement.h"

#include <QtGlobal>
#include <openssl/evp.h>

#include <memory>

namespace {
const unsigned char* bytesOf(const QByteArray& bytes)
{
    return reinterpret_cast<const unsigned char*>(bytes.constData());
}

struct ContextDeleter
{
    void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
};
} // namespace

void KeyAgreement::Deleter::operator()(EVP_PKEY* key) const
{
    EVP_PKEY_free(key);
}

KeyAgreement::KeyAgreement() : key(EVP_PKEY_Q_keygen(nullptr, nullptr, "X25519"))
{
    if (!key)
        qWarning("Cannot generate an X25519 key");
}

KeyAgreement::KeyAgreement(EVP_PKEY* key) : key(key) {}

KeyAgreement KeyAgreement::fromPrivateKey(const QByteArray& privateKey)
{
    if (privateKey.size() != KeySize) {
        qWarning("An X25519 private key has 32 bytes, not %d", int(privateKey.size()));
        return KeyAgreement(nullptr);
    }
    return KeyAgreement(EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, bytesOf(privateKey), KeySize));
}

QByteArray KeyAgreement::publicKey() const
{
    QByteArray publicKey(KeySize, Qt::Uninitialized);
    size_t size = KeySize;
    if (!key || EVP_PKEY_get_raw_public_key(key.get(), reinterpret_cast<unsigned char*>(publicKey.data()), &size) != 1)
        return {};
    return publicKey;
}

QByteArray KeyAgreement::sharedSecret(const QByteArray& peerPublicKey) const
{
    if (!key || peerPublicKey.size() != KeySize) {
        qWarning("No key agreement with a peer key of %d bytes", int(peerPublicKey.size()));
        return {};
    }
    std::unique_ptr<EVP_PKEY, Deleter> peer(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_X25519, nullptr, bytesOf(peerPublicKey), KeySize));
    std::unique_ptr<EVP_PKEY_CTX, ContextDeleter> context(EVP_PKEY_CTX_new(key.get(), nullptr));
    QByteArray secret(KeySize, Qt::Uninitialized);
    size_t size = KeySize;
    // OpenSSL refuses an all-zero result itself, which is what a low-order peer key produces.
    if (!peer || !context || EVP_PKEY_derive_init(context.get()) != 1 ||
        EVP_PKEY_derive_set_peer(context.get(), peer.get()) != 1 ||
        EVP_PKEY_derive(context.get(), reinterpret_cast<unsigned char*>(secret.data()), &size) != 1 ||
        size != KeySize) {
        qWarning("X25519 key agreement failed");
        return {};
    }
    return secret;
}

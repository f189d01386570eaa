#pragma once

#include <QByteArray>

#include <memory>

typedef struct evp_pkey_st EVP_PKEY;

// One side's ephemeral X25519 key for pairing. The private key lives only inside OpenSSL and
// goes with the object, so each pairing attempt starts from a fresh one.
class KeyAgreement
{
public:
    static constexpr int KeySize = 32;

    // A fresh key pair from the system's generator.
    KeyAgreement();
    // A fixed private key, for reproducing known values; invalid unless 32 bytes.
    static KeyAgreement fromPrivateKey(const QByteArray& privateKey);

    bool isValid() const { return key != nullptr; }
    QByteArray publicKey() const;
    // Empty when the peer's key is not 32 bytes or is one of the low-order points that would make
    // the shared secret all zero: such a peer contributes nothing and must be refused.
    QByteArray sharedSecret(const QByteArray& peerPublicKey) const;

private:
    struct Deleter
    {
        void operator()(EVP_PKEY* key) const;
    };
    explicit KeyAgreement(EVP_PKEY* key);

    std::unique_ptr<EVP_PKEY, Deleter> key;
};

#pragma once

#include "server/keyschedule.h"

#include <QByteArray>

#include <memory>

typedef struct evp_cipher_ctx_st EVP_CIPHER_CTX;

// Both directions of one protocol 2 connection: every message is sealed with
// ChaCha20-Poly1305 under its direction's key, the nonce being that direction's frame count.
// Nonces are never sent, so a frame that is altered, replayed, reordered or sent back to its
// sender fails to open.
class SealedChannel
{
public:
    static constexpr int TagSize = 16;

    SealedChannel(KeySchedule::Role role, const KeySchedule::SessionKeys& keys);
    SealedChannel(const SealedChannel&) = delete;
    SealedChannel& operator=(const SealedChannel&) = delete;

    // The ciphertext followed by the tag; empty if the frame cannot be sealed.
    QByteArray seal(const QByteArray& plain);
    // False when the frame does not open as the next one from the peer. A frame that fails
    // leaves the count where it was; the caller is expected to close the connection.
    bool open(const QByteArray& sealed, QByteArray* plain);

private:
    struct ContextDeleter
    {
        void operator()(EVP_CIPHER_CTX* context) const;
    };

    // Each holds its direction's key, and nothing else does.
    std::unique_ptr<EVP_CIPHER_CTX, ContextDeleter> sealer;
    std::unique_ptr<EVP_CIPHER_CTX, ContextDeleter> opener;
    bool ready = false;
    quint64 sent = 0;
    quint64 received = 0;
};

// Received bytes go through both protocols' decryption: the session cipher with its lenient
// padding removal, which must stay inside them and give a sealed text back unchanged, and the
// sealed channel, which must refuse anything it did not seal itself without losing its place.
#include "fuzz/fuzzsupport.h"
#include "server/keyschedule.h"
#include "server/sealedchannel.h"
#include "server/sessioncipher.h"

#include <cstdlib>

namespace {
void checkSessionCipher(const QByteArray& bytes)
{
    static const QByteArray key =
        SessionCipher::sessionKey(QStringLiteral("device"), QStringLiteral("secret"), QStringLiteral("token"));
    static const SessionCipher cipher;
    if (QAESEncryption::removePadding(bytes).size() > bytes.size())
        std::abort();
    if (cipher.decrypt(bytes, key).size() > bytes.size())
        std::abort();
    if (cipher.decrypt(cipher.encrypt(bytes, key), key) != bytes)
        std::abort();
}

void checkSealedChannel(const QByteArray& bytes)
{
    static const KeySchedule::SessionKeys keys =
        KeySchedule::sessionKeys(QStringLiteral("secret"), QByteArray(32, 'c'), QByteArray(32, 's'));
    SealedChannel client(KeySchedule::Role::Client, keys);
    SealedChannel server(KeySchedule::Role::Server, keys);
    QByteArray opened;
    // Nobody without the key makes a frame that opens; a refused one leaves the count where it was.
    if (server.open(bytes, &opened))
        std::abort();
    if (!server.open(client.seal(bytes), &opened) || opened != bytes)
        std::abort();
    // Its own frame sent back, or the same frame again, does not open either.
    const QByteArray reply = server.seal(bytes);
    if (server.open(reply, &opened) || client.open(client.seal(bytes), &opened) || !client.open(reply, &opened))
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = inputBytes(data, size);
    SlowInputGuard guard;
    checkSessionCipher(bytes);
    checkSealedChannel(bytes);
    return 0;
}

// Received segments go through the session cipher's decryption and its lenient padding removal;
// whatever the bytes, both must stay inside them, and a sealed text must come back unchanged.
#include "fuzz/fuzzsupport.h"
#include "server/sessioncipher.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QByteArray key =
        SessionCipher::sessionKey(QStringLiteral("device"), QStringLiteral("secret"), QStringLiteral("token"));
    static const SessionCipher cipher;
    const QByteArray bytes = inputBytes(data, size);
    SlowInputGuard guard;
    if (QAESEncryption::removePadding(bytes).size() > bytes.size())
        std::abort();
    if (cipher.decrypt(bytes, key).size() > bytes.size())
        std::abort();
    if (cipher.decrypt(cipher.encrypt(bytes, key), key) != bytes)
        std::abort();
    return 0;
}

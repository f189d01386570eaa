#include "server/random.h"

#include <QRandomGenerator>
#include <QtGlobal>
#include <openssl/rand.h>

#include <random>

namespace {

const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr int alphabetSize = sizeof(alphabet) - 1;
// The largest multiple of the alphabet size that fits a byte; bytes at or above it are redrawn
// so that every character is equally likely.
constexpr int acceptBelow = 256 / alphabetSize * alphabetSize;

QByteArray drawFromOpenSsl(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), count) != 1) {
        // Still the kernel's generator, only through Qt: never hand out an unfilled buffer.
        qWarning("Cannot draw random bytes from OpenSSL");
        QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    }
    return bytes;
}

} // namespace

// Every frame needs a fresh IV; drawing them a few hundred at a time keeps the generator's
// per-call cost off the request path. Bytes are handed out once and never reused.
QByteArray randomBytes(int count)
{
    constexpr int PoolSize = 4096;
    static QByteArray pool;
    static int used = 0;
    if (count > PoolSize)
        return drawFromOpenSsl(count);
    if (used + count > pool.size()) {
        pool = drawFromOpenSsl(PoolSize);
        used = 0;
    }
    const QByteArray bytes = pool.mid(used, count);
    used += count;
    return bytes;
}

int randomInt(int low, int high)
{
    // libstdc++ draws by rejection, so no value of the range is favoured.
    std::uniform_int_distribution<int> distribution(low, high);
    return distribution(*QRandomGenerator::system());
}

QString randomToken()
{
    constexpr int length = 32;
    QString token;
    token.reserve(length);
    while (token.size() < length) {
        for (char byte : randomBytes(length)) {
            const int value = static_cast<unsigned char>(byte);
            if (value < acceptBelow && token.size() < length)
                token.append(QLatin1Char(alphabet[value % alphabetSize]));
        }
    }
    return token;
}

QByteArray randomIv()
{
    return randomBytes(16);
}

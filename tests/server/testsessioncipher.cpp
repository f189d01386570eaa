#include "server/qaesencryption.h"
#include "server/random.h"
#include "server/sessioncipher.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// The openssl command line is an implementation independent of the code under test.
QByteArray openssl(const QStringList& arguments, const QByteArray& input)
{
    QProcess process;
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForStarted())
        return {};
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished() || process.exitCode() != 0)
        qWarning() << "openssl failed:" << process.readAllStandardError();
    return process.readAllStandardOutput();
}

const QByteArray sp80038aKey = hex("2b7e151628aed2a6abf7158809cf4f3c");
const QByteArray sp80038aIv = hex("000102030405060708090a0b0c0d0e0f");
const QByteArray sp80038aPlain = hex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
                                     "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
const QByteArray sp80038aCipher = hex("7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
                                      "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7");

} // namespace

class TestSessionCipher : public QObject
{
    Q_OBJECT
private slots:
    void aesSingleBlock_data();
    void aesSingleBlock();
    void aesCbcMultiBlock();
    void aesRejectsBadInput();
    void aesMatchesOpensslCommand_data();
    void aesMatchesOpensslCommand();
    void sessionKey_data();
    void sessionKey();
    void roundTrip_data();
    void roundTrip();
    void framesDifferAndKeyTailIsUnused();
    void framesWithoutCiphertext();
    void lenientPadding_data();
    void lenientPadding();
    void randomTokens();
    void randomIvAndInt();

private:
    SessionCipher session;
};

void TestSessionCipher::aesSingleBlock_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("cipher");
    QTest::newRow("AES-128") << int(QAESEncryption::AES_128) << hex("000102030405060708090a0b0c0d0e0f")
                             << hex("69c4e0d86a7b0430d8cdb78070b4c55a");
    QTest::newRow("AES-192") << int(QAESEncryption::AES_192) << hex("000102030405060708090a0b0c0d0e0f1011121314151617")
                             << hex("dda97ca4864cdfe06eaf70a0ec0d7191");
    QTest::newRow("AES-256") << int(QAESEncryption::AES_256)
                             << hex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f")
                             << hex("8ea2b7ca516745bfeafc49904b496089");
}

// FIPS-197 appendix C: one block, so CBC with a zero IV and ECB must both give the vector.
void TestSessionCipher::aesSingleBlock()
{
    QFETCH(int, level);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, cipher);
    const QByteArray plain = hex("00112233445566778899aabbccddeeff");
    const QByteArray zeroIv(16, '\0');
    const QAESEncryption cbc(QAESEncryption::Aes(level), QAESEncryption::CBC);
    const QAESEncryption ecb(QAESEncryption::Aes(level), QAESEncryption::ECB);

    QCOMPARE(cbc.encode(plain, key, zeroIv).size(), 32);
    QCOMPARE(cbc.encode(plain, key, zeroIv).left(16), cipher);
    QCOMPARE(ecb.encode(plain, key).left(16), cipher);
    QCOMPARE(cbc.decode(cipher, key, zeroIv), plain);
    QCOMPARE(ecb.decode(cipher, key), plain);
}

// SP 800-38A F.2.1 and F.2.2: chaining across four blocks.
void TestSessionCipher::aesCbcMultiBlock()
{
    const QAESEncryption aes(QAESEncryption::AES_128, QAESEncryption::CBC);
    const QByteArray encoded = aes.encode(sp80038aPlain, sp80038aKey, sp80038aIv);
    QCOMPARE(encoded.size(), 80);
    QCOMPARE(encoded.left(64), sp80038aCipher);
    QCOMPARE(aes.decode(sp80038aCipher, sp80038aKey, sp80038aIv), sp80038aPlain);
}

void TestSessionCipher::aesRejectsBadInput()
{
    const QAESEncryption aes(QAESEncryption::AES_128, QAESEncryption::CBC);
    const QRegularExpression wrongLength(QStringLiteral("^Wrong AES (key|IV) length"));
    for (int i = 0; i < 4; ++i)
        QTest::ignoreMessage(QtWarningMsg, wrongLength);
    QVERIFY(aes.encode("text", sp80038aKey.left(15), sp80038aIv).isEmpty());
    QVERIFY(aes.encode("text", sp80038aKey, sp80038aIv.left(15)).isEmpty());
    QVERIFY(aes.decode(sp80038aCipher, sp80038aKey + 'x', sp80038aIv).isEmpty());
    QVERIFY(aes.decode(sp80038aCipher, sp80038aKey, QByteArray()).isEmpty());
    QVERIFY(aes.decode(sp80038aCipher.left(17), sp80038aKey, sp80038aIv).isEmpty());
}

void TestSessionCipher::aesMatchesOpensslCommand_data()
{
    QTest::addColumn<QByteArray>("plain");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("json") << QByteArray(R"({"_":"ia","v":"1.5"})");
    QTest::newRow("whole block") << QByteArray("0123456789abcdef");
    QTest::newRow("binary") << hex("00ff80017f") + QByteArray(100, 'x');
}

// openssl pads with PKCS#7 itself, so the full outputs must agree byte for byte; decrypting
// openssl's frame through the session cipher closes the loop in the other direction.
void TestSessionCipher::aesMatchesOpensslCommand()
{
    QFETCH(QByteArray, plain);
    const QByteArray key = hex("000102030405060708090a0b0c0d0e0f");
    const QByteArray iv = hex("f0e1d2c3b4a5968778695a4b3c2d1e0f");
    const QByteArray expected = openssl({"enc", "-aes-128-cbc", "-K", key.toHex(), "-iv", iv.toHex()}, plain);
    QCOMPARE(expected.size(), (plain.size() / 16 + 1) * 16);

    const QAESEncryption aes(QAESEncryption::AES_128, QAESEncryption::CBC);
    QCOMPARE(aes.encode(plain, key, iv), expected);
    QCOMPARE(session.decrypt(iv + expected, key), plain);
}

void TestSessionCipher::sessionKey_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("token");
    QTest::addColumn<int>("prefix");
    // 'z' is 122, and 122 % 32 = 26.
    QTest::newRow("ascii token") << QString("device-1") << QString("zQ3bX9kLmN0pR5sT7uV1wY2aC4eG6iK8") << 26;
    // 'A' is 65, and 65 % 32 = 1.
    QTest::newRow("non-ascii id") << QString::fromUtf8("Gerät-ü") << QString("AbcdefghijklmnopqrstuvwxyzABCDEF") << 1;
    // 0xC3 is -61 as a signed byte; the remainder stays negative, so no prefix.
    QTest::newRow("negative first byte") << QString("device-2") << QString::fromUtf8("éABCDEFGHIJKLMNOPQRSTUVWXYZabcd")
                                         << 0;
    // '@' is 64, and 64 % 32 = 0.
    QTest::newRow("zero prefix") << QString("device-3") << QString("@bcdefghijklmnopqrstuvwxyzABCDEF") << 0;
}

void TestSessionCipher::sessionKey()
{
    QFETCH(QString, id);
    QFETCH(QString, token);
    QFETCH(int, prefix);
    const QString secret = QStringLiteral("S3cr3tS3cr3tS3cr3tS3cr3tS3cr3tS3");
    const QByteArray tokenBytes = token.toUtf8();
    const QByteArray input = id.toUtf8() + secret.toUtf8() + tokenBytes + tokenBytes.left(prefix);
    const QByteArray expected = openssl({"dgst", "-sha1", "-binary"}, input);
    QCOMPARE(expected.size(), 20);
    QCOMPARE(SessionCipher::sessionKey(id, secret, token), expected);
    QVERIFY(SessionCipher::sessionKey(id, secret, QString()).isEmpty());
}

void TestSessionCipher::roundTrip_data()
{
    QTest::addColumn<QByteArray>("plain");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("short") << QByteArray(R"({"_":"va","v":42})");
    QTest::newRow("whole block") << QByteArray("fedcba9876543210");
    QTest::newRow("long utf-8") << QString::fromUtf8("Grüße, 世界! ").repeated(20).toUtf8();
}

// The frame is the IV plus the padded ciphertext: an empty text still takes one full block.
void TestSessionCipher::roundTrip()
{
    QFETCH(QByteArray, plain);
    const QByteArray key = SessionCipher::sessionKey("device", "secret", randomToken());
    const QByteArray frame = session.encrypt(plain, key);
    QCOMPARE(frame.size(), 16 + (plain.size() / 16 + 1) * 16);
    QCOMPARE(session.decrypt(frame, key), plain);
}

void TestSessionCipher::framesDifferAndKeyTailIsUnused()
{
    const QByteArray key = SessionCipher::sessionKey("device", "secret", randomToken());
    QCOMPARE(key.size(), 20);
    const QByteArray plain = R"({"_":"ca"})";
    const QByteArray first = session.encrypt(plain, key);
    const QByteArray second = session.encrypt(plain, key);
    QVERIFY(first.left(16) != second.left(16));
    QVERIFY(first.mid(16) != second.mid(16));

    const QByteArray shortKey = key.left(16);
    const QAESEncryption aes(QAESEncryption::AES_128, QAESEncryption::CBC);
    QCOMPARE(first.mid(16), aes.encode(plain, shortKey, first.left(16)));
    QCOMPARE(session.decrypt(first, shortKey), plain);
    QCOMPARE(session.decrypt(session.encrypt(plain, shortKey), key), plain);
}

void TestSessionCipher::framesWithoutCiphertext()
{
    const QByteArray key = SessionCipher::sessionKey("device", "secret", randomToken());
    const QByteArray frame = session.encrypt("{}", key);
    QVERIFY(session.decrypt(QByteArray(), key).isEmpty());
    QVERIFY(session.decrypt(frame.left(16), key).isEmpty());
    QVERIFY(session.decrypt(frame.left(31), key).isEmpty());
    QVERIFY(session.decrypt(frame + 'x', key).isEmpty());
}

void TestSessionCipher::lenientPadding_data()
{
    QTest::addColumn<QByteArray>("decoded");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray text = "0123456789abcde";
    QTest::newRow("zero") << text + '\x00' << text + '\x00';
    // Read unsigned, 0x80 would fit this size and strip 128 bytes.
    QTest::newRow("0x80 is negative") << text.repeated(9) + "abcdefgh\x80" << text.repeated(9) + "abcdefgh\x80";
    QTest::newRow("0xff is negative") << text + '\xff' << text + '\xff';
    QTest::newRow("longer than the block") << text + '\x11' << text + '\x11';
    QTest::newRow("whole block") << QByteArray(16, '\x10') << QByteArray();
    QTest::newRow("one byte") << text + '\x01' << text;
    QTest::newRow("bytes unchecked") << text.left(13) + QByteArray("\x07\x00\x03", 3) << text.left(13);
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

// Each row (whole blocks) also goes through decrypt: it must strip by the same rule, not reject.
void TestSessionCipher::lenientPadding()
{
    QFETCH(QByteArray, decoded);
    QFETCH(QByteArray, expected);
    QCOMPARE(QAESEncryption::removePadding(decoded), expected);

    const QAESEncryption aes(QAESEncryption::AES_128, QAESEncryption::CBC);
    const QByteArray iv = randomIv();
    const QByteArray unpadded = aes.encode(decoded, sp80038aKey, iv).left(decoded.size());
    QCOMPARE(session.decrypt(iv + unpadded, sp80038aKey), expected);
}

void TestSessionCipher::randomTokens()
{
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789");
    constexpr int tokens = 4000;
    QSet<QString> seen;
    QHash<QChar, int> counts;
    for (int i = 0; i < tokens; ++i) {
        const QString token = randomToken();
        QCOMPARE(token.size(), 32);
        seen.insert(token);
        for (QChar c : token)
            ++counts[c];
    }
    QCOMPARE(seen.size(), tokens);
    QCOMPARE(counts.size(), alphabet.size());
    // A plain byte % 62 would favour A-H by a quarter; the bound is over five standard deviations.
    const double mean = tokens * 32.0 / alphabet.size();
    for (QChar c : alphabet)
        QVERIFY2(qAbs(counts.value(c) - mean) < mean * 0.12, qPrintable(QStringLiteral("skewed: ") + c));
}

void TestSessionCipher::randomIvAndInt()
{
    const QByteArray iv = randomIv();
    QCOMPARE(iv.size(), 16);
    QVERIFY(iv != randomIv());

    for (auto [low, high] : std::initializer_list<std::pair<int, int>>{{0, 1}, {-3, 3}, {7, 7}}) {
        QSet<int> drawn;
        QSet<int> range;
        for (int i = 0; i < 1000; ++i)
            drawn.insert(randomInt(low, high));
        for (int value = low; value <= high; ++value)
            range.insert(value);
        QCOMPARE(drawn, range);
    }
}

QTEST_GUILESS_MAIN(TestSessionCipher)
#include "testsessioncipher.moc"

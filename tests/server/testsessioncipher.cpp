#include "server/qaesencryption.h"
#include "server/random.h"
#include "server/sessioncipher.h"

#include <QProcess>
#include <QSet>
#include <QtTest>

namespace {

QByteArray openssl(const QStringList& arguments, const QByteArray& input)
{
    QProcess process;
    process.start(QStringLiteral("openssl"), arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished() || process.exitCode() != 0)
        qWarning() << "openssl failed:" << process.readAllStandardError();
    return process.readAllStandardOutput();
}

const QByteArray key128 = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f");

} // namespace

class TestSessionCipher : public QObject
{
    Q_OBJECT
    SessionCipher session;

private slots:
    void sessionKey_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("token");
        QTest::addColumn<int>("prefix");
        // 'z' is 122, and 122 % 32 = 26.
        QTest::newRow("ascii") << QString("device-1") << QString("zQ3bX9kLmN0pR5sT7uV1wY2aC4eG6iK8") << 26;
        // 'A' is 65, and 65 % 32 = 1.
        QTest::newRow("non-ascii id") << QString::fromUtf8("Gerät-ü") << QString("AbcdefghijklmnopqrstuvwxyzABCDEF")
                                      << 1;
        // 0xC3 is -61 as a signed byte; the remainder stays negative, so no prefix.
        QTest::newRow("negative") << QString("device-2") << QString::fromUtf8("éABCDEFGHIJKLMNOPQRSTUVWXYZabcd") << 0;
    }

    void sessionKey()
    {
        QFETCH(QString, id);
        QFETCH(QString, token);
        QFETCH(int, prefix);
        const QString secret = QStringLiteral("S3cr3tS3cr3tS3cr3tS3cr3tS3cr3tS3");
        const QByteArray input = id.toUtf8() + secret.toUtf8() + token.toUtf8() + token.toUtf8().left(prefix);
        QCOMPARE(SessionCipher::sessionKey(id, secret, token), openssl({"dgst", "-sha1", "-binary"}, input));
        QVERIFY(SessionCipher::sessionKey(id, secret, QString()).isEmpty());
    }

    // A frame is a fresh IV plus the padded ciphertext under the first 16 bytes of the 20-byte key.
    // The openssl command line, an implementation independent of ours, must read it.
    void framesMatchOpensslWithFreshIvsBadOnesToNothing()
    {
        const QByteArray key = SessionCipher::sessionKey("device", "secret", randomToken());
        for (const QByteArray& plain :
             {QByteArray(), QByteArray("fedcba9876543210"), QByteArray::fromHex("00ff80017f") + QByteArray(200, 'j')}) {
            const QByteArray frame = session.encrypt(plain, key);
            QCOMPARE(frame.size(), 16 + (plain.size() / 16 + 1) * 16);
            const QStringList decrypt = {
                "enc", "-d", "-aes-128-cbc", "-K", key.left(16).toHex(), "-iv", frame.left(16).toHex()};
            QCOMPARE(openssl(decrypt, frame.mid(16)), plain);
            QCOMPARE(session.decrypt(frame, key.left(16)), plain);
            QVERIFY(frame.left(16) != session.encrypt(plain, key).left(16));
        }
        const QByteArray frame = session.encrypt("{}", key);
        for (const QByteArray& bad : {QByteArray(), frame.left(16), frame.left(31), frame + 'x'})
            QVERIFY(session.decrypt(bad, key).isEmpty());
    }

    void lenientPadding_data()
    {
        QTest::addColumn<QByteArray>("decoded");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray text = "0123456789abcde";
        QTest::newRow("zero") << text + '\x00' << text + '\x00';
        // Read unsigned, 0x80 would fit this size and strip 128 bytes.
        QTest::newRow("0x80 is negative") << text.repeated(9) + "abcdefgh\x80" << text.repeated(9) + "abcdefgh\x80";
        QTest::newRow("longer than the block") << text + '\x11' << text + '\x11';
        QTest::newRow("whole block") << QByteArray(16, '\x10') << QByteArray();
        QTest::newRow("bytes unchecked") << text.left(13) + QByteArray("\x07\x00\x03", 3) << text.left(13);
    }

    // Each row (whole blocks) also goes through decrypt: it must strip by the same rule, not reject.
    void lenientPadding()
    {
        QFETCH(QByteArray, decoded);
        QFETCH(QByteArray, expected);
        QCOMPARE(QAESEncryption::removePadding(decoded), expected);
        const QByteArray iv = randomIv();
        const QByteArray unpadded = QAESEncryption(QAESEncryption::AES_128, QAESEncryption::CBC)
                                        .encode(decoded, key128, iv)
                                        .left(decoded.size());
        QCOMPARE(session.decrypt(iv + unpadded, key128), expected);
    }

    void randomSource()
    {
        constexpr int tokens = 4000;
        QSet<QString> seen;
        QHash<QChar, int> counts;
        for (int i = 0; i < tokens; ++i) {
            const QString token = randomToken();
            QVERIFY2(QRegularExpression("^[A-Za-z0-9]{32}$").match(token).hasMatch(), qPrintable(token));
            seen.insert(token);
            for (QChar c : token)
                ++counts[c];
        }
        QCOMPARE(seen.size(), tokens);
        QCOMPARE(counts.size(), 62);
        // A plain byte % 62 would favour A-H by a quarter; the bound is over five standard deviations.
        const double mean = tokens * 32.0 / 62;
        const auto [rarest, commonest] = std::minmax_element(counts.cbegin(), counts.cend());
        QVERIFY2(*rarest > mean * 0.88 && *commonest < mean * 1.12, qPrintable(QString::number(*commonest)));
    }
};

QTEST_GUILESS_MAIN(TestSessionCipher)
#include "testsessioncipher.moc"

#include "server/frame.h"
#include "server/jsontext.h"
#include "server/protocol.h"
#include "server/server.h"
#include "tests/support/echohandler.h"
#include "tests/support/testclient.h"
#include "tests/support/testenvironment.h"

#include <QSettings>
#include <QTcpServer>
#include <QtTest>

namespace {
const QString LastUsedPort = "lastUsedPort";
} // namespace

class TestServer : public QObject
{
    Q_OBJECT
    TestEnvironment environment;

private slots:
    void init() { QSettings().clear(); }

    // Only the test client reads frames, so every loopback case decodes them; peers rely on the bytes.
    void framesAreBigEndianWithAttachmentsInClear()
    {
        const QByteArray frame = Frame::encode("{}", {{Server::Png, "abc"}, {Server::Json, ""}});
        QCOMPARE(frame, QByteArray("\0\0\0\x02{}\x01\0\0\0\x03"
                                   "abc\0\0\0\0\0",
                                   19));
    }

    // Ports below the dynamic range are not taken from the setting.
    void listensOnTheStoredPortOrADynamicOne()
    {
        QSettings().setValue(LastUsedPort, 8080);
        quint16 stored = 0;
        {
            const Server server;
            stored = server.port();
            QVERIFY(stored >= 49152);
            QCOMPARE(QSettings().value(LastUsedPort).toUInt(), uint(stored));
        }
        {
            const Server server;
            QCOMPARE(server.port(), stored);
        }
        // Taken now: the setting goes and other ports are tried until one is free.
        QTcpServer occupant;
        QVERIFY(occupant.listen(QHostAddress::Any, stored));
        Server taken;
        QCOMPARE(taken.port(), quint16(0));
        QVERIFY(!QSettings().contains(LastUsedPort));
        QTRY_VERIFY(taken.port() >= 49152);
        QCOMPARE(QSettings().value(LastUsedPort).toUInt(), uint(taken.port()));
    }

    // Requests are served in order: the echo of "au" coming first proves "ia" was dropped.
    void strangersReachOnlyAuthentication()
    {
        Server server;
        new EchoHandler(&server, Method::Authentication);
        new EchoHandler(&server, Method::InstalledApps);
        TestClient anonymous(QString{});
        anonymous.open(server.port(), "v=3");
        QVERIFY(anonymous.waitForDisconnected());
        QCOMPARE(anonymous.closeCode(), QWebSocketProtocol::CloseCodeNormal);
        QVERIFY(anonymous.next().segment.isEmpty());

        TestClient stranger;
        QVERIFY(stranger.openExpecting(server.port(), Method::Wait));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Permission denied"));
        const QJsonObject answer = request(Method::Authentication, {{Key::ChallengeAnswer, "x"}});
        QCOMPARE(stranger.replyAfter({request(Method::InstalledApps)}, answer), answer);
        QVERIFY(stranger.isConnected());

        // Qt's parser leaks the value a repeated key replaces: a stranger could grow the server.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Cannot parse JSON.*duplicate key"));
        stranger.sendRaw(R"({"_":"au","c":[{}],"c":[{"a":"x"}]})");
        QVERIFY(stranger.waitForDisconnected());
        QCOMPARE(stranger.closeCode(), QWebSocketProtocol::CloseCodeNormal);
    }

    void pushesReachAdmittedConnectionsOnly()
    {
        Server server;
        auto* volume = new EchoHandler(&server, Method::Volume);
        volume->push(); // nobody connected: nothing to do
        QCOMPARE(volume->handled, 0);

        TestClient admitted("admitted"), waiting("waiting");
        QVERIFY(admitted.pair(server));
        QVERIFY(waiting.openExpecting(server.port(), Method::Wait));
        volume->push();
        server.broadcast(Method::ScreenLock, {{Key::Value, true}});
        QCOMPARE(admitted.nextJson(), request(Method::Volume));
        QCOMPARE(admitted.nextJson(), request(Method::ScreenLock, {{Key::Value, true}}));
        QCOMPARE(volume->handled, 1);

        // Nothing reached the waiting device: its next message is the verdict it waits for.
        server.authorize(waiting.deviceId, false);
        QVERIFY(waiting.waitForDisconnected());
        QVERIFY(waiting.next().segment.isEmpty());
    }

    void oversizedMessageClosesTheConnection_data()
    {
        QTest::addColumn<bool>("admitted");
        QTest::addColumn<int>("limit");
        QTest::newRow("admitted") << true << int(Server::MaxIncomingMessageSize);
        QTest::newRow("waiting") << false << int(Server::MaxStrangerMessageSize);
    }

    void oversizedMessageClosesTheConnection()
    {
        QFETCH(bool, admitted);
        QFETCH(int, limit);
        Server server;
        new EchoHandler(&server, Method::Authentication);
        TestClient greedy("greedy");
        QVERIFY(admitted ? greedy.pair(server) : greedy.openExpecting(server.port(), Method::Wait));
        greedy.sendRaw("{\"_\":\"au\",\"x\":\"" + QByteArray(limit - 18, ' ') + "\"}"); // just fits
        QCOMPARE(greedy.nextMethod(), Method::Authentication);
        greedy.sendRaw(QByteArray(limit + 1, ' '));
        QVERIFY(greedy.waitForDisconnected());
        QCOMPARE(greedy.closeCode(), QWebSocketProtocol::CloseCodeTooMuchData);
        QTRY_VERIFY(server.connections().isEmpty());

        TestClient next("next");
        QVERIFY(next.pair(server));
    }

    // Out of line: moc misreads the raw strings of these rows inside a class.
    void duplicateKeysAreFound_data();
    void duplicateKeysAreFound();
};

void TestServer::duplicateKeysAreFound_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("duplicate");
    QTest::newRow("top level") << QByteArray(R"({"_":"ia","i":1,"_":"ia"})") << true;
    QTest::newRow("nested") << QByteArray(R"({"c":[{}],"c":[{"a":"x"}]})") << true;
    QTest::newRow("deep in an array") << QByteArray(R"([1,{"a":{"b":[{"k":1, "k" :2}]}}])") << true;
    QTest::newRow("escaped spelling") << QByteArray(R"({"\u005f":1,"_":2})") << true;
    QTest::newRow("surrogate pair") << QByteArray("{\"\\ud83d\\ude00\":1,\"\xf0\x9f\x98\x80\":2}") << true;
    QTest::newRow("same key, other objects") << QByteArray(R"({"a":{"a":1},"b":{"a":2},"c":[{"a":3}]})") << false;
    QTest::newRow("values repeat") << QByteArray(R"({"a":"b","b":"b","c":["a","a"]})") << false;
    QTest::newRow("quote and brace in a key") << QByteArray(R"({"\"}":1,"\"":2})") << false;
    QTest::newRow("two lone surrogates") << QByteArray(R"({"\ud800":1,"\ud801":2})") << false;
    QTest::newRow("not JSON") << QByteArray("}}{\"") << false;
}

void TestServer::duplicateKeysAreFound()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, duplicate);
    QCOMPARE(hasDuplicateKey(json), duplicate);
    QString error;
    const bool parsed = !parseJson(json, &error).isNull();
    QCOMPARE(error == QLatin1String("duplicate key"), duplicate);
    QVERIFY(!duplicate || !parsed);
}

QTEST_MAIN(TestServer)
#include "testserver.moc"

#include "server/duplicatekeys.h"
#include "server/frame.h"
#include "server/protocol.h"
#include "server/server.h"
#include "tests/support/echohandler.h"
#include "tests/support/testclient.h"
#include "tests/support/testenvironment.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

namespace {
const QString LastUsedPort = QStringLiteral("lastUsedPort");

// A port in the dynamic range that nothing listens on right now.
quint16 freeDynamicPort()
{
    for (quint16 port = 50000; port < 60000; port += 7) {
        QTcpServer probe;
        if (probe.listen(QHostAddress::Any, port))
            return port;
    }
    return 0;
}
} // namespace

class TestServer : public QObject
{
    Q_OBJECT
    TestEnvironment environment;

private slots:
    void init() { QSettings().clear(); }

    void framesAreBigEndianWithAttachmentsInClear();
    void listensOnTheStoredPortOrADynamicOne();
    void connectionWithoutIdIsClosed();
    void gateLetsOnlyAuthenticationThrough();
    void lastRegistrationWins();
    void pushesReachAdmittedConnectionsOnly();
    void oversizedMessageClosesTheConnection_data();
    void oversizedMessageClosesTheConnection();
    void duplicateKeysAreFound_data();
    void duplicateKeysAreFound();
    void duplicateKeysCloseLikeBadJson();
};

void TestServer::framesAreBigEndianWithAttachmentsInClear()
{
    const QByteArray frame = Frame::encode("{}", {{Server::Png, "abc"}, {Server::Json, ""}});
    QCOMPARE(frame, QByteArray("\0\0\0\x02{}\x01\0\0\0\x03"
                               "abc\0\0\0\0\0",
                               19));
    QCOMPARE(Frame::encode("{\"_\":\"wa\"}", {}).size(), 4 + 10);

    QByteArray segment;
    Server::Attachments attachments;
    QVERIFY(Frame::decode(frame, &segment, &attachments));
    QCOMPARE(segment, QByteArray("{}"));
    QCOMPARE(attachments.size(), 2);
    QCOMPARE(attachments.at(0), Server::Attachment(Server::Png, "abc"));
    for (int cut : {3, 5, 10, 16})
        QVERIFY2(!Frame::decode(frame.left(cut), &segment, &attachments), qPrintable(QString::number(cut)));
    QVERIFY(!Frame::decode(QByteArray("\xff\xff\xff\xff", 4), &segment, &attachments));
}

void TestServer::listensOnTheStoredPortOrADynamicOne()
{
    const quint16 free = freeDynamicPort();
    QVERIFY(free);
    QSettings().setValue(LastUsedPort, free);
    {
        const Server stored;
        QCOMPARE(stored.port(), free);
    }
    // Taken now: the setting goes and other ports are tried until one is free.
    QTcpServer occupant;
    QVERIFY(occupant.listen(QHostAddress::Any, free));
    Server taken;
    QCOMPARE(taken.port(), quint16(0));
    QVERIFY(!QSettings().contains(LastUsedPort));
    QTRY_VERIFY(taken.port() >= 49152);
    QCOMPARE(QSettings().value(LastUsedPort).toUInt(), uint(taken.port()));

    QSettings().setValue(LastUsedPort, 8080);
    Server server;
    QVERIFY(server.port() >= 49152);
    QCOMPARE(QSettings().value(LastUsedPort).toUInt(), uint(server.port()));
    TestClient device;
    QVERIFY(device.openExpecting(server.port(), Method::Wait));
}

void TestServer::connectionWithoutIdIsClosed()
{
    Server server;
    TestClient anonymous(QString{});
    anonymous.open(server.port(), QStringLiteral("v=3"));
    QVERIFY(anonymous.waitForDisconnected());
    QCOMPARE(anonymous.closeCode(), QWebSocketProtocol::CloseCodeNormal);
    QVERIFY(anonymous.next().segment.isEmpty());
}

// Requests are served in order: the echo of "au" coming first proves "ia" was dropped.
void TestServer::gateLetsOnlyAuthenticationThrough()
{
    Server server;
    new EchoHandler(&server, Method::Authentication);
    new EchoHandler(&server, Method::InstalledApps);
    TestClient stranger;
    QVERIFY(stranger.openExpecting(server.port(), Method::Wait));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Permission denied")));
    const QJsonObject answer = request(Method::Authentication, {{Key::ChallengeAnswer, "x"}});
    QCOMPARE(stranger.replyAfter({request(Method::InstalledApps)}, answer), answer);
    QVERIFY(stranger.isConnected());
}

void TestServer::lastRegistrationWins()
{
    Server server;
    auto* first = new EchoHandler(&server, Method::Volume);
    auto* second = new EchoHandler(&server, Method::Volume);
    TestClient device;
    QVERIFY(device.pair(server)); // the event loop has run: both registered by now
    device.send(request(Method::Volume));
    QCOMPARE(device.nextMethod(), Method::Volume);
    QCOMPARE(first->handled, 0);
    QCOMPARE(second->handled, 1);
}

void TestServer::pushesReachAdmittedConnectionsOnly()
{
    Server server;
    auto* volume = new EchoHandler(&server, Method::Volume);
    volume->push(); // nobody connected: nothing to do
    QCOMPARE(volume->handled, 0);

    TestClient admitted(QStringLiteral("admitted")), waiting(QStringLiteral("waiting"));
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

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("No handler for.*nope")));
    server.runHandler(QStringLiteral("nope"));
}

void TestServer::oversizedMessageClosesTheConnection_data()
{
    QTest::addColumn<bool>("admitted");
    QTest::addColumn<int>("limit");
    QTest::newRow("admitted") << true << int(Server::MaxIncomingMessageSize);
    QTest::newRow("waiting") << false << int(Server::MaxStrangerMessageSize);
}

void TestServer::oversizedMessageClosesTheConnection()
{
    QFETCH(bool, admitted);
    QFETCH(int, limit);
    Server server;
    new EchoHandler(&server, Method::Authentication);
    TestClient greedy(QStringLiteral("greedy"));
    QVERIFY(admitted ? greedy.pair(server) : greedy.openExpecting(server.port(), Method::Wait));
    greedy.sendRaw(R"({"_":"au","x":")" + QByteArray(limit - 18, ' ') + "\"}"); // just fits
    QCOMPARE(greedy.nextMethod(), Method::Authentication);
    greedy.sendRaw(QByteArray(limit + 1, ' '));
    QVERIFY(greedy.waitForDisconnected());
    QCOMPARE(greedy.closeCode(), QWebSocketProtocol::CloseCodeTooMuchData);
    QTRY_VERIFY(server.connections().isEmpty());

    TestClient next(QStringLiteral("next"));
    QVERIFY(next.pair(server));
}

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
}

// Qt's parser leaks the replaced value: a stranger could grow the server with every message.
void TestServer::duplicateKeysCloseLikeBadJson()
{
    Server server;
    new EchoHandler(&server, Method::Authentication);
    TestClient stranger;
    QVERIFY(stranger.openExpecting(server.port(), Method::Wait));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Cannot parse JSON.*duplicate key")));
    stranger.sendRaw(R"({"_":"au","c":[{}],"c":[{"a":"x"}]})");
    QVERIFY(stranger.waitForDisconnected());
    QCOMPARE(stranger.closeCode(), QWebSocketProtocol::CloseCodeNormal);
}

QTEST_MAIN(TestServer)
#include "testserver.moc"

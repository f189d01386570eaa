#include "server/connectionsorter.h"
#include "server/protocol.h"
#include "server/server.h"
#include "tests/support/echohandler.h"
#include "tests/support/testclient.h"
#include "tests/support/testenvironment.h"
#include "tests/support/warningcounter.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {
// A peer on loopback that keeps everything the server sends until it closes.
struct RawPeer
{
    explicit RawPeer(quint16 port)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { received += socket.readAll(); });
        socket.connectToHost(QHostAddress::LocalHost, port);
    }
    bool waitForClose()
    {
        QSignalSpy closed(&socket, &QTcpSocket::disconnected);
        return socket.state() == QAbstractSocket::UnconnectedState || closed.wait(5000);
    }
    QByteArray field(const QByteArray& name) const
    {
        const int start = received.indexOf("\r\n" + name + ": ");
        return start < 0 ? QByteArray()
                         : received.mid(start + name.size() + 4,
                                        received.indexOf("\r\n", start + 2) - start - name.size() - 4);
    }
    QByteArray body() const { return received.mid(received.indexOf("\r\n\r\n") + 4); }

    QTcpSocket socket;
    QByteArray received;
};

QByteArray statusLine(const QByteArray& answer)
{
    return answer.left(answer.indexOf("\r\n"));
}
} // namespace

class TestPageServer : public QObject
{
    Q_OBJECT
    TestEnvironment environment;

    static QByteArray exchange(const Server& server, const QByteArray& head)
    {
        RawPeer peer(server.port());
        peer.socket.write(head);
        return peer.waitForClose() ? peer.received : QByteArray("(not closed)");
    }

private slots:
    void init() { QSettings().clear(); }

    void pageCarriesItsHeaders()
    {
        Server server;
        const QByteArray host = "127.0.0.1:" + QByteArray::number(server.port());
        RawPeer get(server.port());
        get.socket.write("GET /?from=qr HTTP/1.1\r\nHost: " + host + "\r\nAccept: */*\r\n\r\n");
        QVERIFY(get.waitForClose());
        QCOMPARE(statusLine(get.received), "HTTP/1.1 200 OK");
        QVERIFY(get.body().startsWith("<!DOCTYPE html>"));
        QCOMPARE(get.field("Content-Length").toInt(), get.body().size());
        QCOMPARE(get.field("Content-Type"), "text/html; charset=utf-8");
        QCOMPARE(get.field("Cache-Control"), "no-cache");
        QCOMPARE(get.field("X-Content-Type-Options"), "nosniff");
        const QByteArray policy = get.field("Content-Security-Policy");
        QVERIFY(policy.startsWith("default-src 'none'; script-src 'self';"));
        QVERIFY2(policy.contains("; connect-src 'self' ws://" + host + ";"), policy);

        // The same head without the body; the index file under its own name.
        RawPeer head(server.port());
        head.socket.write("HEAD /index.html HTTP/1.1\r\nHost: [::1]\r\n\r\n");
        QVERIFY(head.waitForClose());
        QCOMPARE(statusLine(head.received), "HTTP/1.1 200 OK");
        QCOMPARE(head.field("Content-Length").toInt(), get.body().size());
        QVERIFY(head.body().isEmpty());
        QVERIFY(head.field("Content-Security-Policy").contains("ws://[::1];"));

        // The bundled script the page loads is compiled in beside it.
        RawPeer script(server.port());
        script.socket.write("HEAD /app.js HTTP/1.1\r\nHost: pc\r\n\r\n");
        QVERIFY(script.waitForClose());
        QCOMPARE(statusLine(script.received), "HTTP/1.1 200 OK");
        QCOMPARE(script.field("Content-Type"), "text/javascript; charset=utf-8");
        QVERIFY(script.field("Content-Length").toInt() > 1000);
    }

    void answersOtherRequestsWithAnError_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("status");
        const QByteArray host = "Host: pc.local:50000\r\n\r\n";
        QTest::newRow("unknown") << "GET /missing.js HTTP/1.1\r\n" + host << QByteArray("404 Not Found");
        QTest::newRow("climbing") << "GET /../webpage.qrc HTTP/1.1\r\n" + host << QByteArray("404 Not Found");
        QTest::newRow("folder") << "GET /index.html/ HTTP/1.1\r\n" + host << QByteArray("404 Not Found");
        QTest::newRow("post") << "POST / HTTP/1.1\r\nContent-Length: 2\r\n" + host + "{}"
                              << QByteArray("405 Method Not Allowed");
        QTest::newRow("no version") << "GET /\r\n" + host << QByteArray("400 Bad Request");
        QTest::newRow("bare line feeds") << QByteArray("GET / HTTP/1.1\nHost: pc\n\r\n\r\n")
                                         << QByteArray("400 Bad Request");
        QTest::newRow("folded field") << "GET / HTTP/1.1\r\n folded\r\n" + host << QByteArray("400 Bad Request");
        QTest::newRow("no host") << QByteArray("GET / HTTP/1.1\r\n\r\n") << QByteArray("400 Bad Request");
        // Would reach the policy header otherwise.
        QTest::newRow("odd host") << QByteArray("GET / HTTP/1.1\r\nHost: pc; script-src *\r\n\r\n")
                                  << QByteArray("400 Bad Request");
    }

    void answersOtherRequestsWithAnError()
    {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, status);
        Server server;
        const QByteArray answer = exchange(server, head);
        QCOMPARE(statusLine(answer), "HTTP/1.1 " + status);
        QVERIFY(!answer.contains("<!DOCTYPE"));
        QCOMPARE(answer.contains("\r\nAllow: GET, HEAD\r\n"), status.startsWith("405"));
    }

    // The WebSocket side reads the head again itself: it must come whole, however it arrived, and
    // judge it itself.
    void upgradeIsHandedOnUnread()
    {
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        RawPeer peer(listener.serverPort());
        QVERIFY(listener.waitForNewConnection(5000));
        QTcpSocket* socket = listener.nextPendingConnection();
        ConnectionSorter sorter;
        sorter.sort(socket);
        qRegisterMetaType<QTcpSocket*>();
        QSignalSpy handedOn(&sorter, &ConnectionSorter::webSocketRequested);
        QSignalSpy arrived(socket, &QTcpSocket::readyRead);

        // Clients have always been free to send their id's bytes raw.
        const QByteArray head = "GET /?i=d\xc3\xa9vice HTTP/1.1\r\nHost: pc:1\r\nUpgrade: WebSocket\r\n"
                                "Connection: keep-alive, Upgrade\r\nSec-WebSocket-Version: 13\r\n\r\n";
        peer.socket.write(head.left(40));
        QVERIFY(arrived.wait());
        QVERIFY(handedOn.isEmpty());
        peer.socket.write(head.mid(40));
        QVERIFY(handedOn.wait());
        QCOMPARE(handedOn.first().first().value<QTcpSocket*>(), socket);
        QCOMPARE(socket->peek(4096), head);
        QVERIFY(peer.received.isEmpty());
    }

    // Each bad peer is logged once, and paired devices go on being served through it all.
    void badPeersAreClosedWhileDevicesAreServed()
    {
        constexpr int Deadline = 300;
        Server server;
        server.setRequestHeadTimeout(Deadline);
        new EchoHandler(&server, Method::Volume);
        TestClient before("before");
        QVERIFY(before.pair(server));
        const WarningCounter oversized("request head over");
        const WarningCounter silent("No request within");

        RawPeer greedy(server.port());
        QElapsedTimer clock;
        clock.start();
        RawPeer quiet(server.port());
        greedy.socket.write("GET / HTTP/1.1\r\nCookie: " + QByteArray(100 * 1024, 'x'));
        QVERIFY(greedy.waitForClose());
        QVERIFY(greedy.received.isEmpty());
        QVERIFY(clock.elapsed() < Deadline);
        QVERIFY(quiet.waitForClose());
        QVERIFY(clock.elapsed() >= Deadline - 50);

        QCOMPARE(oversized.count(), 1);
        QCOMPARE(silent.count(), 1);
        before.send(request(Method::Volume));
        QCOMPARE(before.nextMethod(), Method::Volume);
        TestClient after("after");
        QVERIFY(after.pair(server));
        after.send(request(Method::Volume));
        QCOMPARE(after.nextMethod(), Method::Volume);
    }
};

QTEST_MAIN(TestPageServer)
#include "testpageserver.moc"

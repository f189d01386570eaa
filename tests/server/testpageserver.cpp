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

    QTcpSocket socket;
    QByteArray received;
};

QByteArray statusLine(const QByteArray& answer)
{
    return answer.left(answer.indexOf("\r\n"));
}

QByteArray field(const QByteArray& answer, const QByteArray& name)
{
    const int start = answer.indexOf("\r\n" + name + ": ");
    return start < 0 ? QByteArray()
                     : answer.mid(start + name.size() + 4, answer.indexOf("\r\n", start + 2) - start - name.size() - 4);
}

QByteArray body(const QByteArray& answer)
{
    return answer.mid(answer.indexOf("\r\n\r\n") + 4);
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
        const QByteArray get = exchange(server, "GET /?from=qr HTTP/1.1\r\nHost: " + host + "\r\nAccept: */*\r\n\r\n");
        QCOMPARE(statusLine(get), "HTTP/1.1 200 OK");
        QVERIFY(body(get).startsWith("<!DOCTYPE html>"));
        QCOMPARE(field(get, "Content-Length").toInt(), body(get).size());
        QCOMPARE(field(get, "Content-Type"), "text/html; charset=utf-8");
        QCOMPARE(field(get, "Cache-Control"), "no-cache");
        QCOMPARE(field(get, "X-Content-Type-Options"), "nosniff");
        const QByteArray policy = field(get, "Content-Security-Policy");
        QVERIFY(policy.startsWith("default-src 'none'; script-src 'self';"));
        QVERIFY2(policy.contains("; connect-src 'self' ws://" + host + ";"), policy);

        // The same head without the body; the index file under its own name.
        const QByteArray head = exchange(server, "HEAD /index.html HTTP/1.1\r\nHost: [::1]\r\n\r\n");
        QCOMPARE(statusLine(head), "HTTP/1.1 200 OK");
        QCOMPARE(field(head, "Content-Length").toInt(), body(get).size());
        QVERIFY(body(head).isEmpty());
        QVERIFY(field(head, "Content-Security-Policy").contains("ws://[::1];"));

        // The bundled script the page loads is compiled in beside it.
        const QByteArray script = exchange(server, "HEAD /app.js HTTP/1.1\r\nHost: pc\r\n\r\n");
        QCOMPARE(statusLine(script), "HTTP/1.1 200 OK");
        QCOMPARE(field(script, "Content-Type"), "text/javascript; charset=utf-8");
        QVERIFY(field(script, "Content-Length").toInt() > 1000);
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

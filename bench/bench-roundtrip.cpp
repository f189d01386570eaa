// Round trip of a small encrypted request through the real server and a trivial handler, in
// either protocol, against a bare WebSocket echo with the same message sizes, measured in the
// same run.

#include "handlers/authenticationhandler.h"
#include "server/keyschedule.h"
#include "server/protocol.h"
#include "server/sealedchannel.h"
#include "server/server.h"
#include "tests/support/echohandler.h"
#include "tests/support/testclient.h"
#include "tests/support/testenvironment.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QTextStream>
#include <QWebSocketServer>

#include <algorithm>
#include <functional>

namespace {
constexpr int Warmup = 300;
constexpr int Rounds = 5000;

struct Latencies
{
    QVector<qint64> nanoseconds;
    double seconds = 0;

    qint64 percentile(double p) const
    {
        QVector<qint64> sorted = nanoseconds;
        std::sort(sorted.begin(), sorted.end());
        return sorted.at(std::min(int(sorted.size() * p), sorted.size() - 1));
    }
};

// Sends one message, waits for one reply, and so on: the latency a client sees.
Latencies pingPong(QWebSocket& socket, const std::function<QByteArray()>& nextRequest)
{
    Latencies result;
    QElapsedTimer clock, total;
    QEventLoop loop;
    int sent = 0;
    auto sendNext = [&] {
        clock.start();
        socket.sendBinaryMessage(nextRequest());
        ++sent;
    };
    auto connection = QObject::connect(&socket, &QWebSocket::binaryMessageReceived, [&] {
        if (sent > Warmup)
            result.nanoseconds.append(clock.nsecsElapsed());
        if (sent == Warmup)
            total.start();
        if (sent == Warmup + Rounds)
            loop.quit();
        else
            sendNext();
    });
    sendNext();
    loop.exec();
    result.seconds = total.nsecsElapsed() / 1e9;
    QObject::disconnect(connection);
    return result;
}

void report(QTextStream& out, const QString& name, const Latencies& latencies)
{
    out << name << ".median: " << latencies.percentile(0.5) / 1000.0 << " us\n";
    out << name << ".p99: " << latencies.percentile(0.99) / 1000.0 << " us\n";
    out << name << ".throughput: " << qRound(Rounds / latencies.seconds) << " requests/s\n";
}

// Requests go out as the protocol wraps them; replies are only counted, as a client would read
// them after the round trip ends.
Latencies serverRoundTrip(bool secure, int* requestSize, int* replySize)
{
    Server server;
    new AuthenticationHandler(&server, Method::Authentication);
    new EchoHandler(&server, Method::Volume);
    TestClient device(secure ? QStringLiteral("bench-secure-device") : QStringLiteral("bench-device"));
    device.secure = secure;
    if (!device.pair(server) || !device.reconnect(server.port()))
        qFatal("Cannot connect the benchmark device");
    QObject::disconnect(&device.socket, &QWebSocket::binaryMessageReceived, &device, nullptr);
    QObject::connect(&device.socket, &QWebSocket::binaryMessageReceived,
                     [replySize](const QByteArray& frame) { *replySize = frame.size(); });

    const SessionCipher cipher;
    const QJsonObject request{{Key::Method, Method::Volume}, {Key::Value, 42}};
    const QByteArray json = QJsonDocument(request).toJson(QJsonDocument::Compact);
    const auto nextRequest = [&]() { return secure ? device.seal(request) : cipher.encrypt(json, device.key); };
    // Every sealed frame counts: measured, not made, so that the server's count stays in step.
    *requestSize = secure ? json.size() + SealedChannel::TagSize : cipher.encrypt(json, device.key).size();
    return pingPong(device.socket, nextRequest);
}

Latencies bareEcho(int requestSize, int replySize)
{
    QWebSocketServer echo(QStringLiteral("echo"), QWebSocketServer::NonSecureMode);
    echo.listen(QHostAddress::Any);
    const QByteArray reply(replySize, 'r');
    QObject::connect(&echo, &QWebSocketServer::newConnection, [&] {
        QWebSocket* peer = echo.nextPendingConnection();
        QObject::connect(peer, &QWebSocket::binaryMessageReceived, [peer, &reply] { peer->sendBinaryMessage(reply); });
    });
    QWebSocket client;
    QEventLoop connected;
    QObject::connect(&client, &QWebSocket::connected, &connected, &QEventLoop::quit);
    client.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(echo.serverPort())));
    connected.exec();
    const QByteArray request(requestSize, 'q');
    return pingPong(client, [&] { return request; });
}

void cipherThroughput(QTextStream& out)
{
    const SessionCipher cipher;
    const QByteArray key(20, 'k');
    const QByteArray frame(200, 'f');
    constexpr int Iterations = 100000;
    QElapsedTimer clock;
    clock.start();
    qint64 checksum = 0;
    for (int i = 0; i < Iterations; ++i)
        checksum += cipher.decrypt(cipher.encrypt(frame, key), key).size();
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (checksum != qint64(Iterations) * frame.size())
        qFatal("Cipher round trip lost bytes");
    out << "cipher.frame200.encrypt_decrypt: " << qRound(Iterations / seconds) << " frames/s\n";
    out << "cipher.frame200.throughput: " << Iterations * frame.size() / seconds / 1e6 << " MB/s\n";
}

void sealedThroughput(QTextStream& out)
{
    const auto keys = KeySchedule::sessionKeys(QString(32, 's'), QByteArray(32, 'c'), QByteArray(32, 'n'));
    SealedChannel sender(KeySchedule::Role::Server, keys);
    SealedChannel receiver(KeySchedule::Role::Client, keys);
    const QByteArray frame(200, 'f');
    constexpr int Iterations = 100000;
    QElapsedTimer clock;
    clock.start();
    qint64 checksum = 0;
    QByteArray opened;
    for (int i = 0; i < Iterations; ++i)
        checksum += receiver.open(sender.seal(frame), &opened) ? opened.size() : 0;
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (checksum != qint64(Iterations) * frame.size())
        qFatal("Sealed round trip lost bytes");
    out << "sealed.frame200.seal_open: " << qRound(Iterations / seconds) << " frames/s\n";
    out << "sealed.frame200.throughput: " << Iterations * frame.size() / seconds / 1e6 << " MB/s\n";
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TestEnvironment environment; // pairing writes settings: keep them out of the real HOME
    QTextStream out(stdout);

    int requestSize = 0, replySize = 0, sealedRequestSize = 0, sealedReplySize = 0;
    const Latencies encrypted = serverRoundTrip(false, &requestSize, &replySize);
    const Latencies sealed = serverRoundTrip(true, &sealedRequestSize, &sealedReplySize);
    const Latencies bare = bareEcho(requestSize, replySize);
    out << "message.request: " << requestSize << " bytes\n";
    out << "message.reply: " << replySize << " bytes\n";
    out << "message.sealed.request: " << sealedRequestSize << " bytes\n";
    out << "message.sealed.reply: " << sealedReplySize << " bytes\n";
    report(out, QStringLiteral("roundtrip.encrypted"), encrypted);
    report(out, QStringLiteral("roundtrip.sealed"), sealed);
    report(out, QStringLiteral("roundtrip.bare"), bare);
    cipherThroughput(out);
    sealedThroughput(out);
    out << "roundtrip.encrypted.median.ratio: " << double(encrypted.percentile(0.5)) / bare.percentile(0.5) << "\n";
    out << "roundtrip.sealed.median.ratio: " << double(sealed.percentile(0.5)) / bare.percentile(0.5) << "\n";
    return 0;
}

// The input is the query of the connection URL as the request line carries it: the device id "i"
// and the version "v" reach the server before anything else a stranger sends. Whatever they hold,
// the server challenges, asks the user or closes; and an id it asks about is a plain name that,
// once admitted, is stored under itself alone: read back from the settings file, then forgotten,
// it leaves the other pairing as it was.
#include "fuzz/fuzzsupport.h"
#include "server/authorizeddevices.h"
#include "server/server.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSettings>
#include <QTcpSocket>

#include <functional>

namespace {
const QString PairedId = QStringLiteral("fuzz-paired");
const QString PairedSecret = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdef");

void fail(const char* what)
{
    qFatal("Connection URL fuzzer: %s", what);
}

// Outside a running event loop the closed connections' deferred deletes are left to us.
bool waitUntil(const std::function<bool()>& done)
{
    QDeadlineTimer deadline(5000);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return done();
}

// Only the bytes that would end the request line are escaped; the server's parser gets the rest.
QByteArray upgradeRequest(QByteArray query)
{
    query.replace(' ', "%20").replace('\r', "%0D").replace('\n', "%0A");
    return "GET /?" + query +
           " HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
           "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
}

// Past the handshake's answer the server has decided: a first frame, or the connection is gone.
bool decided(const QTcpSocket& socket, const QByteArray& received)
{
    const int end = received.indexOf("\r\n\r\n");
    return socket.state() == QAbstractSocket::UnconnectedState || (end >= 0 && received.size() > end + 4);
}

bool onlyPairedDeviceStored()
{
    const AuthorizedDevices stored;
    return stored.count() == 1 && stored.secret(PairedId) == PairedSecret;
}

void admitAndForget(Server& server, const QString& id)
{
    if (!AuthorizedDevices::isPlainId(id))
        fail("the user was asked about an id that is no plain name");
    server.authorize(id, true);
    const AuthorizedDevices stored;
    if (stored.count() != 2 || stored.secret(id).isEmpty() || stored.secret(PairedId) != PairedSecret)
        fail("an admitted id was not stored under itself alone");
    server.forget(id);
    if (!onlyPairedDeviceStored())
        fail("forgetting an id touched another pairing");
}

Server* startServer()
{
    startFuzzApplication();
    QSettings settings;
    settings.setValue(QStringLiteral("au/") + PairedId, PairedSecret);
    settings.sync();
    auto* server = new Server;
    stopNetworkChecks(server);
    // The prompts are answered here at once; only a refusal would hold the next input off.
    server->setPromptTimeout(24 * 3600 * 1000);
    if (!waitUntil([server] { return server->port() != 0; }))
        fail("the server does not listen");
    return server;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Server* server = startServer();
    QString askedId;
    bool asked = false;
    const auto prompt = QObject::connect(server, &Server::needUserAuthorization,
                                         [&](QObject*, const QString& id, const QString&, const QString&) {
                                             asked = true;
                                             askedId = id;
                                         });
    QTcpSocket socket;
    QByteArray received;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { received += socket.readAll(); });
    socket.connectToHost(QHostAddress::LocalHost, server->port());
    if (!socket.waitForConnected(5000))
        fail("cannot connect");
    {
        SlowInputGuard guard;
        socket.write(upgradeRequest(inputBytes(data, size)));
        if (!waitUntil([&] { return decided(socket, received); }))
            fail("the server neither answered nor closed");
    }
    // The settings file is written and read back here, at a cost that does not depend on the input.
    if (asked)
        admitAndForget(*server, askedId);
    QObject::disconnect(prompt);
    socket.abort();
    if (!waitUntil([] { return server->connections().isEmpty(); }) || !onlyPairedDeviceStored())
        fail("the connection left something behind");
    return 0;
}

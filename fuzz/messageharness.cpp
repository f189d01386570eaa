#include "fuzz/messageharness.h"

#include "fuzz/fuzzsupport.h"
#include "server/core.h"
#include "server/protocol.h"
#include "server/server.h"
#include "tests/support/testcore.h"
#include "tests/support/testplatform.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPixmap>

#include <functional>

namespace {
const QString AdmittedId = QStringLiteral("fuzz-admitted");
const QString PendingId = QStringLiteral("fuzz-pending");
const QString PairingId = QStringLiteral("fuzz-pairing");
constexpr int DayMs = 24 * 3600 * 1000;

void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Sleeps in the event loop, not in fixed slices: a reconnection is on the way of most inputs.
bool waitUntil(const std::function<bool()>& done)
{
    QDeadlineTimer deadline(5000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    return done();
}

void fail(const char* what)
{
    qFatal("Fuzz harness: %s", what);
}

void furnish(TestPlatform* platform)
{
    QPixmap icon(32, 32);
    icon.fill(Qt::darkGreen);
    platform->addApp(QStringLiteral("org.example.Editor"), QStringLiteral("Editor"), true, QIcon(icon));
    platform->addApp(QStringLiteral("org.example.Viewer"), QStringLiteral("Viewer"), true);
    platform->addApp(QStringLiteral("org.example.Idle"), QStringLiteral("Idle"));
}
} // namespace

MessageHarness::MessageHarness(Mode mode) : mode(mode)
{
    platform = startTestCore();
    if (!platform)
        fail("the core did not start");
    furnish(platform);
    server = Core::instance()->server();
    stopNetworkChecks(server);
    // The pending device stays silent on purpose; its challenge or prompt must outlive the run.
    server->setChallengeTimeout(DayMs);
    server->setPromptTimeout(DayMs);
    reconnect();
}

MessageHarness::~MessageHarness()
{
    disconnectAll();
}

void MessageHarness::deliver(Peer peer, const QByteArray& message, bool sealed)
{
    QWebSocket* connection = devices[peer].connection;
    const QByteArray bytes = sealed ? seal(peer, message) : message;
    emit connection->binaryMessageReceived(bytes);
    settle();
}

void MessageHarness::recover()
{
    if (!healthy())
        reconnect();
    forgetCalls();
}

QByteArray MessageHarness::seal(Peer peer, const QByteArray& message)
{
    if (mode == Secure)
        return peer == Admitted ? devices[peer].client->seal(message) : message; // handshakes are in clear
    const QByteArray key = devices[peer].connection->property(ConnectionProperty::SessionKey).toByteArray();
    return key.isEmpty() ? message : SessionCipher().encrypt(message, key);
}

// The scripted desktop records every call; kept, the record would grow with every input.
void MessageHarness::forgetCalls()
{
    platform->calls.clear();
    for (App* app : platform->installedApps())
        static_cast<TestApp*>(app)->calls.clear();
}

bool MessageHarness::healthy() const
{
    return admittedHealthy() && waitingHealthy(Pending) && (mode != Secure || waitingHealthy(Pairing));
}

bool MessageHarness::admittedHealthy() const
{
    QWebSocket* admitted = devices[Admitted].connection;
    return admitted && admitted->state() == QAbstractSocket::ConnectedState && server->clients().contains(admitted);
}

bool MessageHarness::waitingHealthy(Peer peer) const
{
    QWebSocket* waiting = devices[peer].connection;
    return waiting && waiting->state() == QAbstractSocket::ConnectedState && !server->clients().contains(waiting) &&
           (mode == Plain || peer == Pairing || server->isChallenged(waiting));
}

void MessageHarness::reconnect()
{
    // An input closes one connection: opening that one again is much cheaper than pairing them all.
    if ((admittedHealthy() || readmit()) && reopenWaiting())
        return;
    disconnectAll();
    const bool ready = mode == Plain ? pairAdmitted() && openWaiting(Pending) : readyKnown();
    if (!ready)
        fail("cannot connect the devices");
}

// A known device answers its challenge again; in clear, the device waiting for the user holds the
// only slot a pairing could take.
bool MessageHarness::readmit()
{
    Device& device = devices[Admitted];
    const QString secret = device.client ? device.client->secret : QString();
    QWebSocket* closed = device.connection; // compared, never used: it may be gone already
    device = Device();
    if (mode == Plain || !waitUntil([this, closed] { return !server->connections().contains(closed); }))
        return false;
    device.client = client(AdmittedId);
    device.client->secret = secret;
    if (!device.client->reconnect(server->port()))
        return false;
    device.connection = server->connections().last();
    quietReplies(device);
    return admittedHealthy();
}

bool MessageHarness::reopenWaiting()
{
    for (const Peer peer : {Pending, Pairing}) {
        if (peer == Pairing && mode != Secure)
            break;
        if (waitingHealthy(peer))
            continue;
        Device& device = devices[peer];
        const QString secret = device.client ? device.client->secret : QString();
        QWebSocket* closed = device.connection; // compared, never used: it may be gone already
        device = Device();
        if (!waitUntil([this, closed] { return !server->connections().contains(closed); }))
            return false;
        device.client = client(peer == Pending ? PendingId : PairingId);
        device.client->secret = secret;
        if (!openWaiting(peer) || !waitingHealthy(peer))
            return false;
    }
    return true;
}

void MessageHarness::disconnectAll()
{
    for (Device& device : devices)
        device = Device();
    if (!waitUntil([this] { return server->connections().isEmpty(); }))
        fail("the server keeps closed connections");
    settle();
}

bool MessageHarness::pairAdmitted()
{
    server->deauthorize(AdmittedId);
    Device& device = devices[Admitted];
    device.client = client(AdmittedId);
    if (!device.client->pair(*server))
        return false;
    device.connection = server->connections().last();
    quietReplies(device);
    return true;
}

bool MessageHarness::openWaiting(Peer peer)
{
    Device& device = devices[peer];
    if (!open(device, peer == Pending ? PendingId : PairingId))
        return false;
    const QJsonObject first = device.client->nextJson();
    const QString expected = mode == Plain ? Method::Wait : Method::Authentication;
    const bool waits =
        first.value(Key::Method).toString() == expected && (peer != Pairing || first.contains(Key::Commitment));
    quietReplies(device);
    return waits;
}

// Both devices get paired first; then the admitted one answers its challenge and the pending one
// is challenged and left to wait.
bool MessageHarness::readyKnown()
{
    for (const QString& id : {AdmittedId, PendingId}) {
        server->deauthorize(id);
        std::unique_ptr<TestClient> pairing = client(id);
        if (!pairing->pair(*server))
            return false;
        Device& device = devices[id == AdmittedId ? Admitted : Pending];
        device.client = client(id);
        device.client->secret = pairing->secret;
    }
    if (!waitUntil([this] { return server->connections().isEmpty(); }))
        return false;
    Device& admitted = devices[Admitted];
    if (!admitted.client->reconnect(server->port()))
        return false;
    admitted.connection = server->connections().last();
    quietReplies(admitted);
    return openWaiting(Pending) && (mode != Secure || openWaiting(Pairing));
}

bool MessageHarness::open(Device& device, const QString& id)
{
    if (!device.client)
        device.client = client(id);
    if (!device.client->open(server->port()))
        return false;
    // The server registers a connection before the client hears that it is open.
    device.connection = server->connections().last();
    return true;
}

std::unique_ptr<TestClient> MessageHarness::client(const QString& id) const
{
    auto device = std::make_unique<TestClient>(id);
    device->secure = mode == Secure;
    return device;
}

// Replies are read off the socket and dropped, so that a long run does not queue them up.
void MessageHarness::quietReplies(Device& device)
{
    QObject::disconnect(&device.client->socket, &QWebSocket::binaryMessageReceived, device.client.get(), nullptr);
}

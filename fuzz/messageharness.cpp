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

MessageHarness::MessageHarness(bool encrypted) : encrypted(encrypted)
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
    const QByteArray key = connection->property(ConnectionProperty::SessionKey).toByteArray();
    const QByteArray bytes = sealed && !key.isEmpty() ? SessionCipher().encrypt(message, key) : message;
    emit connection->binaryMessageReceived(bytes);
    settle();
    // Within the input that closed them: the new connections' memory then balances the old ones',
    // where otherwise libFuzzer takes it for a leak and scans the whole heap after nearly every
    // input.
    if (!healthy())
        reconnect();
    forgetCalls();
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
    return admittedHealthy() && pendingHealthy();
}

bool MessageHarness::admittedHealthy() const
{
    QWebSocket* admitted = devices[Admitted].connection;
    return admitted && admitted->state() == QAbstractSocket::ConnectedState && server->clients().contains(admitted);
}

bool MessageHarness::pendingHealthy() const
{
    QWebSocket* pending = devices[Pending].connection;
    return pending && pending->state() == QAbstractSocket::ConnectedState && !server->clients().contains(pending) &&
           (!encrypted || server->isChallenged(pending));
}

void MessageHarness::reconnect()
{
    // Most inputs that close a connection close only the pending one: opening that one again
    // is much cheaper than pairing both.
    if (admittedHealthy() && reopenPending())
        return;
    disconnectAll();
    const bool ready = encrypted ? readyEncrypted() : pairAdmitted() && openPending();
    if (!ready)
        fail("cannot connect the devices");
}

bool MessageHarness::reopenPending()
{
    Device& device = devices[Pending];
    const QString secret = device.client ? device.client->secret : QString();
    device = Device();
    if (!waitUntil([this] { return server->connections().size() == 1; }))
        return false;
    device.client = std::make_unique<TestClient>(PendingId);
    device.client->secret = secret;
    return openPending() && pendingHealthy();
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
    device.client = std::make_unique<TestClient>(AdmittedId);
    if (!device.client->pair(*server))
        return false;
    device.connection = server->connections().last();
    quietReplies(device);
    return true;
}

bool MessageHarness::openPending()
{
    Device& device = devices[Pending];
    if (!open(device, PendingId))
        return false;
    const QString expected = encrypted ? Method::Authentication : Method::Wait;
    const bool waits = device.client->nextJson().value(Key::Method).toString() == expected;
    quietReplies(device);
    return waits;
}

// Both devices get paired in clear first; then the admitted one answers its challenge and the
// pending one is challenged and left to wait.
bool MessageHarness::readyEncrypted()
{
    for (const QString& id : {AdmittedId, PendingId}) {
        server->deauthorize(id);
        TestClient client(id);
        if (!client.pair(*server))
            return false;
        Device& device = devices[id == AdmittedId ? Admitted : Pending];
        device.client = std::make_unique<TestClient>(id);
        device.client->secret = client.secret;
    }
    if (!waitUntil([this] { return server->connections().isEmpty(); }))
        return false;
    Device& admitted = devices[Admitted];
    if (!admitted.client->reconnect(server->port()))
        return false;
    admitted.connection = server->connections().last();
    quietReplies(admitted);
    return openPending();
}

bool MessageHarness::open(Device& device, const QString& id)
{
    if (!device.client)
        device.client = std::make_unique<TestClient>(id);
    if (!device.client->open(server->port()))
        return false;
    // The server registers a connection before the client hears that it is open.
    device.connection = server->connections().last();
    return true;
}

// Replies are read off the socket and dropped, so that a long run does not queue them up.
void MessageHarness::quietReplies(Device& device)
{
    QObject::disconnect(&device.client->socket, &QWebSocket::binaryMessageReceived, device.client.get(), nullptr);
}

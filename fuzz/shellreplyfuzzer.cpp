// The shell extension's state as the GNOME platform reads it back over the session bus: the input
// is a JSON object of changes for the stand-in extension ("installedApps", "runningApps",
// "currentApp", "focusedElement", ...), which announces each one; the platform then asks for the
// new value, as it does of the shell. A paired device is connected, so that the platform is active
// and pushes what it learns. Run under dbus-run-session: the stand-in takes the shell's name.
#include "extensioninterface.h"
#include "fuzz/fuzzsupport.h"
#include "platform/gnomeplatform.h"
#include "server/core.h"
#include "server/server.h"
#include "tests/support/standinextension.h"
#include "tests/support/standingnomeextensions.h"
#include "tests/support/testclient.h"
#include "tests/support/testenvironment.h"
#include "updater/defaultupdater.h"

#include <QCoreApplication>
#include <QDBusPendingCallWatcher>
#include <QDeadlineTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>

#include <functional>

namespace {
// More applications than this and the platform starts afresh: a long run must not pile them up.
constexpr int MaxApps = 64;

void fail(const char* what)
{
    qFatal("Fuzz harness: %s", what);
}

bool waitUntil(const std::function<bool()>& done)
{
    QDeadlineTimer deadline(5000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    return done();
}

class Harness
{
public:
    Harness() : gnomeExtensions(QString::fromLocal8Bit(qgetenv("HOME")))
    {
        updater::DefaultUpdater::setFirstCheckDelay(24 * 3600 * 1000);
        if (!extension.registerOn(shell))
            fail("cannot take the shell's name; run under dbus-run-session");
        furnish();
        Core* core = Core::instance();
        platform = qobject_cast<GNOMEPlatform*>(core->platform());
        platform->extensionUpdater()->setFeedUrl(QUrl(QStringLiteral("pavo-fuzz://feed/extension.xml")));
        QSignalSpy ready(core, &Core::ready);
        core->start();
        if (!ready.wait(10000) || !platform->isAvailable())
            fail("the platform did not start");
        QCoreApplication::processEvents();
        // The first admitted client makes the core switch the platform on.
        if (!device.pair(*core->server()) || !waitUntil([this] { return platform->installedApps().size() == 2; }))
            fail("the platform did not become active");
        QObject::disconnect(&device.socket, &QWebSocket::binaryMessageReceived, &device, nullptr);
    }

    void apply(const QJsonObject& changes)
    {
        extension.calls.clear();
        extension.apply(changes);
        // The change signals, the platform's questions, their answers, and the questions that
        // follow from those.
        for (int turn = 0; turn < 3; ++turn)
            roundTrip();
        if (platform->installedApps().size() > MaxApps)
            restart();
    }

private:
    // Two applications with an icon, one of them running and current.
    void furnish()
    {
        const QString icon = QString::fromLocal8Bit(qgetenv("HOME")) + QStringLiteral("/app.png");
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Qt::red);
        image.save(icon);
        auto entry = [&](const QString& id) {
            return QJsonObject{
                {QStringLiteral("id"), id}, {QStringLiteral("name"), id}, {QStringLiteral("icon"), icon}};
        };
        extension.apply({{QStringLiteral("installedApps"), QJsonArray{entry(QStringLiteral("editor.desktop")),
                                                                      entry(QStringLiteral("terminal.desktop"))}},
                         {QStringLiteral("runningApps"), QJsonArray{QStringLiteral("terminal.desktop")}},
                         {QStringLiteral("currentApp"), QStringLiteral("terminal.desktop")}});
    }

    void restart()
    {
        platform->setActive(false);
        platform->setActive(true);
        if (!waitUntil([this] { return !extension.calls.filter(QStringLiteral("screenLocked(")).isEmpty(); }))
            fail("the platform did not become active again");
        roundTrip();
    }

    // Calls and signals on the bus keep their order: once this answer is in, everything sent
    // before it has been delivered.
    void roundTrip()
    {
        QDBusPendingCallWatcher watcher(platform->extension()->brightness());
        if (!waitUntil([&watcher] { return watcher.isFinished(); }))
            fail("the stand-in does not answer");
        QCoreApplication::processEvents();
    }

    StandInGnomeExtensions gnomeExtensions;
    StandInExtension extension;
    QDBusConnection shell = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("shell"));
    GNOMEPlatform* platform = nullptr;
    TestClient device;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Harness* harness = (startFuzzApplication(SessionBus::Private), new Harness);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(inputBytes(data, size), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return -1; // kept out of the corpus
    SlowInputGuard guard;
    harness->apply(document.object());
    return 0;
}

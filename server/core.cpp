#include "server/core.h"

#include "handlers/appactionhandlers.h"
#include "handlers/applisthandlers.h"
#include "handlers/authenticationhandler.h"
#include "handlers/filehandlers.h"
#include "handlers/inputhandlers.h"
#include "handlers/systemhandlers.h"
#include "platform/app.h"
#include "platform/platform.h"
#include "server/protocol.h"
#include "server/server.h"
#include "server/settingsfile.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QSettings>

#include <algorithm>

namespace {
const QString AutoStartKey = QStringLiteral("autoStart");
const QString PreventSleepKey = QStringLiteral("preventSleep");
// The screen saver answers at once; a hung one must not freeze the program for long.
constexpr int ScreenSaverTimeoutMs = 2000;

Core::PlatformFactory& platformFactory()
{
    static Core::PlatformFactory factory;
    return factory;
}

Core*& theInstance()
{
    static Core* core = nullptr;
    return core;
}

QDBusMessage screenSaverCall(const QString& method, const QVariantList& arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"),
                                                       QStringLiteral("/org/freedesktop/ScreenSaver"),
                                                       QStringLiteral("org.freedesktop.ScreenSaver"), method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, ScreenSaverTimeoutMs);
}

// The handler answers every admitted connection, unasked, whenever the signal reports a change.
template <typename Sender, typename Signal> void pushOn(Sender* sender, Signal signal, MessageHandler* handler)
{
    QObject::connect(sender, signal, handler, &MessageHandler::push);
}

void storeSetting(const QString& key, bool value)
{
    QSettings settings;
    settings.setValue(key, value);
    syncPrivately(settings);
}
} // namespace

void Core::setPlatformFactory(PlatformFactory factory)
{
    platformFactory() = std::move(factory);
}

Core* Core::instance()
{
    Core*& core = theInstance();
    if (!core) {
        if (!platformFactory())
            qFatal("No desktop platform to drive");
        core = new Core;
        qAddPostRoutine([] {
            delete theInstance();
            theInstance() = nullptr;
        });
    }
    return core;
}

Core::Core() : desktop(platformFactory()(this))
{
    connect(desktop, &Platform::ready, this, &Core::onPlatformReady);
}

void Core::start()
{
    desktop->init();
}

bool Core::getAutostart()
{
    return QSettings().value(AutoStartKey, true).toBool();
}

void Core::setAutostart(bool v)
{
    storeSetting(AutoStartKey, v);
    desktop->setAutostart(v);
}

bool Core::getPreventSleep()
{
    return QSettings().value(PreventSleepKey, true).toBool();
}

void Core::setPreventSleep(bool v)
{
    storeSetting(PreventSleepKey, v);
    if (!v)
        uninhibitSleep();
}

void Core::onPlatformReady()
{
    connect(desktop, &Platform::installedAppsChanged, this, &Core::onInstalledAppsChanged);
    connect(desktop, &Platform::runningAppsChanged, this, &Core::sortApps);
    connect(desktop, &Platform::appLaunched, this, &Core::onAppLaunched);
    connect(desktop, &Platform::currentAppChanged, this, &Core::onAppActivated);
    startServer();
    if (!QSettings().contains(AutoStartKey))
        setAutostart(true);
}

void Core::startServer()
{
    webSocketServer = new Server(this);
    connect(webSocketServer, &Server::clientCountChanged, this, &Core::onClientTotalChanged);
    createHandlers();
    connect(webSocketServer, &Server::unhandledMessage, this, &Core::onUnhandledMessage);
    emit ready();
}

void Core::createHandlers()
{
    Server* const s = webSocketServer;
    new AuthenticationHandler(s, Method::Authentication);
    pushOn(this, &Core::sortedAppsChanged, new InstalledAppsHandler(s, Method::InstalledApps));
    pushOn(desktop, &Platform::currentAppChanged, new CurrentAppHandler(s, Method::CurrentApp));
    new AppActivateHandler(s, Method::AppActivate);
    new AppCloseHandler(s, Method::AppClose);
    new AppQuitHandler(s, Method::AppQuit);
    new AppMinimizeHandler(s, Method::AppMinimize);
    new AppMaximizeHandler(s, Method::AppMaximize);
    new AppFullscreenHandler(s, Method::AppFullscreen);
    new AppScrollHandler(s, Method::AppScroll);
    new KeySequenceHandler(s, Method::KeySequence);
    new AppIconHandler(s, Method::AppIcon);
    new MenuHandler(s, Method::Menu);
    new MenuPerformHandler(s, Method::MenuPerform);
    new FocusValueHandler(s, Method::FocusValue);
    new FocusPerformHandler(s, Method::FocusPerform);
    new DirectoryListingHandler(s, Method::DirectoryListing);
    new FileIconHandler(s, Method::FileIcon);
    new FilePreviewHandler(s, Method::FilePreview);
    new FileOpenHandler(s, Method::FileOpen);
    new FileAppsHandler(s, Method::FileApps);
    pushOn(desktop, &Platform::screenLockChanged, new ScreenLockHandler(s, Method::ScreenLock));
    pushOn(desktop, &Platform::brightnessChanged, new BrightnessHandler(s, Method::Brightness));
    pushOn(desktop, &Platform::volumeChanged, new VolumeHandler(s, Method::Volume));
    pushOn(desktop, &Platform::volumeMuteChanged, new VolumeMuteHandler(s, Method::VolumeMute));
    pushOn(desktop, &Platform::unsupportedChanged, new UnsupportedHandler(s, Method::Unsupported));
}

void Core::onUnhandledMessage(const QString& method)
{
    static const QHash<QString, void (Platform::*)()> commands = {
        {Method::Logout, &Platform::logout},
        {Method::Sleep, &Platform::sleep},
        {Method::Restart, &Platform::restart},
        {Method::Shutdown, &Platform::shutdown},
        {Method::MediaPlayPause, &Platform::mediaPlayPause},
        {Method::MediaPreviousTrack, &Platform::mediaPreviousTrack},
        {Method::MediaNextTrack, &Platform::mediaNextTrack},
    };
    if (auto command = commands.value(method))
        (desktop->*command)();
    else
        qWarning() << "Unhandled message" << method;
}

const QVector<App*>& Core::sortedApps()
{
    if (desktop->installedApps().size() != sorted.size())
        onInstalledAppsChanged();
    return sorted;
}

void Core::onInstalledAppsChanged()
{
    sorted = desktop->installedApps();
    sortApps();
}

void Core::sortApps()
{
    if (!webSocketServer || webSocketServer->connections().isEmpty()) {
        sorted.clear(); // refilled by the next request
        return;
    }
    std::sort(sorted.begin(), sorted.end(), [](App* a, App* b) { return a->lastUsed() > b->lastUsed(); });
    emit sortedAppsChanged();
}

void Core::onAppLaunched(App*) {}

void Core::onAppTerminated(App*) {}

void Core::onAppActivated(App*) {}

void Core::onbrightnessChanged()
{
    webSocketServer->broadcast(Method::Brightness, {{Key::Value, desktop->brightness()}});
}

void Core::onClientTotalChanged(int total)
{
    if (total >= 2)
        return;
    if (getPreventSleep()) {
        if (total == 1)
            inhibitSleep(QStringLiteral("Pavo client connected"));
        else
            uninhibitSleep();
    }
    desktop->setActive(total != 0);
}

void Core::inhibitSleep(const QString& reason)
{
    // One inhibition at a time: asking again would orphan the earlier cookie, and the desktop
    // could then never sleep until the program exits.
    if (sleepInhibited)
        return;
    const QDBusMessage reply =
        screenSaverCall(QStringLiteral("Inhibit"), {QCoreApplication::applicationName(), reason});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return;
    sleepCookie = reply.arguments().constFirst().toUInt();
    sleepInhibited = true;
}

void Core::uninhibitSleep()
{
    if (!sleepInhibited)
        return;
    screenSaverCall(QStringLiteral("UnInhibit"), {sleepCookie});
    sleepInhibited = false;
}

#include "server/core.h"

#include "handlers/appactionhandlers.h"
#include "handlers/applisthandlers.h"
#include "handlers/authenticationhandler.h"
#include "handlers/commandhandlers.h"
#include "handlers/filehandlers.h"
#include "handlers/inputhandlers.h"
#include "handlers/systemhandlers.h"
#include "http/http.h"
#include "http/httpreply.h"
#include "http/webservice.h"
#include "platform/app.h"
#include "platform/gnomeplatform.h"
#include "platform/platform.h"
#include "platform/website.h"
#include "server/jsontext.h"
#include "server/protocol.h"
#include "server/server.h"
#include "server/settingsfile.h"
#include "updater/updater.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QJsonArray>
#include <QJsonObject>
#include <QSettings>
#include <QUrl>

#include <algorithm>

namespace {
const QString AutoStartKey = QStringLiteral("autoStart");
const QString PreventSleepKey = QStringLiteral("preventSleep");
// Web-service vocabulary of the website index, not the client protocol's.
const QString IndexEntries = QStringLiteral("i");
const QString IndexDomain = QStringLiteral("d");
// The screen saver answers at once; a hung one must not freeze the program for long.
constexpr int ScreenSaverTimeoutMs = 2000;

// The GNOME desktop unless a test hands the core a desktop of its own.
Core::PlatformFactory& platformFactory()
{
    static Core::PlatformFactory factory = [](QObject* parent) { return new GNOMEPlatform(parent); };
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

QUrl webServiceUrl(const QString& path)
{
    return QUrl(QString::fromUtf8(webServiceBaseUrl()) + path, QUrl::TolerantMode);
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

Core::~Core()
{
    qDeleteAll(websiteCatalogue);
}

void Core::start()
{
    if (websiteCatalogue.isEmpty())
        loadWebsites();
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
    new CommandsHandler(s, Method::Commands);
    new CommandIconHandler(s, Method::CommandIcon);
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
    // Installing an update quits the program: only then nobody's session is cut off.
    if (Updater* updater = Updater::instance())
        updater->setImmediateInstallAndRelaunch(total == 0);
    if (total >= 2)
        return;
    if (getPreventSleep()) {
        if (total == 1)
            inhibitSleep(QStringLiteral("Pavo client connected"));
        else
            uninhibitSleep();
    }
    // Apart from the sleep setting: a catalogue that failed at start-up gets another chance.
    if (total == 1 && websiteCatalogue.isEmpty())
        loadWebsites();
    desktop->setActive(total != 0);
}

void Core::loadWebsites()
{
    qDeleteAll(websiteCatalogue);
    websiteCatalogue.clear();
    HttpReply* reply = cachedHttp().get(webServiceUrl(QStringLiteral("/web/index.json")));
    connect(reply, &HttpReply::finished, this, [this](HttpReply* finished) { onWebsiteIndex(*finished); });
}

void Core::onWebsiteIndex(HttpReply& reply)
{
    if (!reply.isSuccessful()) {
        // Tried again with every first client: the same failure is logged once.
        if (websiteFailures.isNew(reply.url(), reply.reasonPhrase()))
            qWarning().noquote()
                << QStringLiteral("Cannot load websites: %1: %2").arg(reply.url().toString(), reply.reasonPhrase());
        return;
    }
    websiteFailures.succeeded();
    const QJsonArray entries = parseJson(reply.body()).object().value(IndexEntries).toArray();
    for (const QJsonValue& entry : entries) {
        const QString domain = entry.toObject().value(IndexDomain).toString();
        if (domain.isEmpty())
            continue;
        HttpReply* document = cachedHttp().get(webServiceUrl(QStringLiteral("/web/") + domain + ".json"));
        connect(document, &HttpReply::finished, this,
                [this, domain](HttpReply* finished) { addWebsite(domain, *finished); });
    }
}

void Core::addWebsite(const QString& domain, HttpReply& reply)
{
    if (!reply.isSuccessful())
        return;
    // A domain listed twice keeps the document that came last.
    delete websiteCatalogue.value(domain);
    websiteCatalogue.insert(domain, new Website(parseJson(reply.body()).object()));
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

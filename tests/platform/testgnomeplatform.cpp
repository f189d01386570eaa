#include "extensioninterface.h"
#include "handlers/promise.h"
#include "platform/app.h"
#include "platform/extension.h"
#include "platform/gnomeiconlookup.h"
#include "platform/gnomeplatform.h"
#include "tests/support/httptestserver.h"
#include "tests/support/standinextension.h"
#include "tests/support/standingnomeextensions.h"
#include "tests/support/testenvironment.h"
#include "tests/support/warningcounter.h"
#include "updater/defaultupdater.h"

#include <QDBusPendingCallWatcher>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {
const QString Editor = QStringLiteral("editor.desktop");
const QString Terminal = QStringLiteral("terminal.desktop");

QJsonObject appEntry(const QString& id, const QString& name, const QString& icon)
{
    return {{QStringLiteral("id"), id}, {QStringLiteral("name"), name}, {QStringLiteral("icon"), icon}};
}

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}
} // namespace

class TestGNOMEPlatform : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    HttpTestServer web;
    StandInExtension extension;
    QDBusConnection shell = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("shell"));
    StandInGnomeExtensions gnomeExtensions{environment.home()};
    QString icon; // an image file every stand-in application can use
    std::unique_ptr<GNOMEPlatform> platform;
    QStringList startUpCommands;

    QStringList commands() const { return gnomeExtensions.commands(); }
    QStringList callsTo(const QString& method) const { return extension.calls.filter(method + QLatin1Char('(')); }
    // Returns once every call the platform made before it has reached the stand-in, and every
    // signal the stand-in emitted before it has reached the platform.
    void roundTrip();
    // A platform past its start-up probe, its extension check answered by the loopback server.
    static void saveIcon(const QString& path, Qt::GlobalColor colour);
    void startPlatform(const QString& checkWarning = QStringLiteral("Update check failed"));
    void activate();

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startUpProbeEnablesAsksAndDisables();
    void startUpWithoutExtensionIsReadyButUnavailable();
    void activationLoadsStateAndFollowsChanges();
    void failedActivationAsksForPermissions();
    void deactivationForgetsEverything();
    void knownApplicationsAndRunningOnesFollowTheExtension();
    void iconLookupOrder();
    void scriptsSettleByExitCode();
    void extensionAtTheFeedsVersionIsNotDownloaded();
    void missingExtensionIsDownloadedAndInstalled();
    void failedInstallationStillEndsInReady();
    void autostartEntry();
    void suffixThatIsNoNameGetsNoIcon();
};

void TestGNOMEPlatform::initTestCase()
{
    qputenv("TMPDIR", environment.home().toUtf8());
    icon = environment.home() + QStringLiteral("/app.png");
    saveIcon(icon, Qt::red);
    // An icon theme of our own: two application icons and the icon of one file type.
    const QString theme = environment.home() + QStringLiteral("/icons/pavotest");
    QVERIFY(QDir().mkpath(theme + QStringLiteral("/apps")) && QDir().mkpath(theme + QStringLiteral("/mimetypes")));
    writeFile(theme + QStringLiteral("/index.theme"),
              "[Icon Theme]\nName=pavotest\nDirectories=apps,mimetypes\n"
              "[apps]\nSize=8\nType=Scalable\n[mimetypes]\nSize=8\nType=Scalable\n");
    saveIcon(theme + QStringLiteral("/apps/themed.png"), Qt::green);
    saveIcon(theme + QStringLiteral("/apps/named-after-id.png"), Qt::green);
    saveIcon(theme + QStringLiteral("/mimetypes/text-x-generic.png"), Qt::gray);
    QIcon::setThemeSearchPaths({environment.home() + QStringLiteral("/icons")});
    QIcon::setThemeName(QStringLiteral("pavotest"));
    web.setResponse("/extension.xml", HttpTestServer::answer(404));
    updater::DefaultUpdater::setFirstCheckDelay(24 * 3600 * 1000); // only the checks the platform starts
    QVERIFY(extension.registerOn(shell));
}

void TestGNOMEPlatform::init()
{
    gnomeExtensions.clear();
    extension.calls.clear();
    qunsetenv("GNOME_EXTENSIONS_FAIL");
}

void TestGNOMEPlatform::cleanup()
{
    platform.reset();
    extension.apply({{QStringLiteral("installedApps"), QJsonArray()},
                     {QStringLiteral("runningApps"), QJsonArray()},
                     {QStringLiteral("currentApp"), QString()}});
}

void TestGNOMEPlatform::roundTrip()
{
    // The bus keeps the order of one connection's messages: a signal sent before this reply
    // arrives before it, and so does every call the platform made before this one.
    QDBusPendingCallWatcher watcher(platform->extension()->brightness());
    QSignalSpy answered(&watcher, &QDBusPendingCallWatcher::finished);
    QVERIFY(answered.wait());
}

void TestGNOMEPlatform::startPlatform(const QString& checkWarning)
{
    platform = std::make_unique<GNOMEPlatform>();
    platform->extensionUpdater()->setFeedUrl(web.url(QStringLiteral("/extension.xml")));
    QSignalSpy ready(platform.get(), &Platform::ready);
    if (!checkWarning.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(checkWarning));
    platform->init();
    QVERIFY(ready.wait());
    QTRY_VERIFY(commands().filter(QStringLiteral("disable")).size() == 1); // the disable script runs after ready
    startUpCommands = commands();
    gnomeExtensions.clear();
    extension.calls.clear();
}

void TestGNOMEPlatform::activate()
{
    QSignalSpy running(platform.get(), &Platform::runningAppsChanged);
    QSignalSpy locked(platform.get(), &Platform::screenLockChanged);
    platform->setActive(true);
    QVERIFY(locked.wait()); // the last of the state queries
    roundTrip();
}

void TestGNOMEPlatform::startUpProbeEnablesAsksAndDisables()
{
    QStringList commandsAtVersionCall;
    connect(&extension, &StandInExtension::called, this, [&](const QString& call) {
        if (call == QLatin1String("invokeString(version)"))
            commandsAtVersionCall = commands();
    });
    startPlatform();
    const QString enable = QStringLiteral("enable ") + ExtensionUuid;
    QCOMPARE(commandsAtVersionCall, QStringList{enable});
    QVERIFY(platform->isAvailable());
    disconnect(&extension, &StandInExtension::called, this, nullptr);
}

void TestGNOMEPlatform::startUpWithoutExtensionIsReadyButUnavailable()
{
    extension.unregisterFrom(shell);
    startPlatform();
    QVERIFY(!platform->isAvailable());
    QVERIFY(extension.registerOn(shell));
}

void TestGNOMEPlatform::activationLoadsStateAndFollowsChanges()
{
    extension.apply(
        {{QStringLiteral("installedApps"), QJsonArray{appEntry(Editor, QStringLiteral("Editor"), icon),
                                                      appEntry(Terminal, QStringLiteral("Terminal"), icon)}},
         {QStringLiteral("runningApps"), QJsonArray{Terminal}},
         {QStringLiteral("currentApp"), Terminal},
         {QStringLiteral("volumeLevel"), 35},
         {QStringLiteral("volumeMute"), 1},
         {QStringLiteral("screenLocked"), true},
         {QStringLiteral("unsupportedFeatures"), QJsonArray{QStringLiteral("brightness")}}});
    startPlatform();
    platform->setActive(true);
    activate();
    platform->setActive(true);
    roundTrip();
    QCOMPARE(commands(), QStringList{QStringLiteral("enable ") + ExtensionUuid});
    QCOMPARE(callsTo(QStringLiteral("invokeString")).size(), 1);
    QCOMPARE(platform->installedApps().size(), 2);
    QCOMPARE(platform->runningApps(), QVector<App*>{platform->app(Terminal)});
    QCOMPARE(platform->currentApp(), platform->app(Terminal));
    QCOMPARE(platform->volumeLevel(), 35);
    QVERIFY(platform->volumeMute());
    QVERIFY(platform->screenLocked());
    QCOMPARE(platform->unsupportedFeatures(), QStringList{QStringLiteral("brightness")});

    QSignalSpy volume(platform.get(), &Platform::volumeChanged);
    platform->setVolumeLevel(60);
    QVERIFY(volume.wait());
    QCOMPARE(platform->volumeLevel(), 60);
    QCOMPARE(callsTo(QStringLiteral("setVolumeLevel")), QStringList{QStringLiteral("setVolumeLevel(60)")});
}

void TestGNOMEPlatform::failedActivationAsksForPermissions()
{
    startPlatform();
    extension.unregisterFrom(shell);
    QSignalSpy permissions(platform.get(), &Platform::needPermissions);
    WarningCounter checkFailed(QStringLiteral("Update check failed"));
    platform->setActive(true);
    QVERIFY(permissions.wait());
    QVERIFY(!platform->isAvailable());
    QTRY_COMPARE(checkFailed.count(), 1); // the extension is checked for again
    QVERIFY(platform->installedApps().isEmpty());
    QVERIFY(extension.registerOn(shell));
}

void TestGNOMEPlatform::deactivationForgetsEverything()
{
    extension.apply({{QStringLiteral("installedApps"), QJsonArray{appEntry(Editor, QStringLiteral("Editor"), icon)}},
                     {QStringLiteral("currentApp"), Editor},
                     {QStringLiteral("volumeLevel"), 20}});
    startPlatform();
    activate();
    QVERIFY(platform->currentApp());
    QSignalSpy installed(platform.get(), &Platform::installedAppsChanged);
    platform->setActive(false);
    QCOMPARE(installed.size(), 1);
    QVERIFY(platform->installedApps().isEmpty() && !platform->currentApp() && !platform->app(Editor));
    QTRY_COMPARE(commands(),
                 (QStringList{QStringLiteral("enable ") + ExtensionUuid, QStringLiteral("disable ") + ExtensionUuid}));

    extension.calls.clear();
    extension.apply({{QStringLiteral("volumeLevel"), 90}, {QStringLiteral("runningApps"), QJsonArray{Editor}}});
    roundTrip();
    roundTrip(); // a query the dispatch made would have arrived before this
    QCOMPARE(extension.calls, (QStringList{QStringLiteral("brightness()"), QStringLiteral("brightness()")}));
    QCOMPARE(platform->volumeLevel(), 20);
}

void TestGNOMEPlatform::knownApplicationsAndRunningOnesFollowTheExtension()
{
    const QString hidden = QStringLiteral("hidden.desktop");
    extension.apply({{QStringLiteral("installedApps"),
                      QJsonArray{appEntry(Editor, QStringLiteral("Editor"), icon),
                                 appEntry(hidden, QStringLiteral("Hidden"), QStringLiteral("no-such-icon"))}},
                     {QStringLiteral("runningApps"), QJsonArray{hidden, Editor}},
                     {QStringLiteral("currentApp"), hidden}});
    startPlatform();
    activate();
    App* editor = platform->app(Editor);
    QCOMPARE(platform->installedApps(), QVector<App*>{editor}); // an application without an icon is left out
    QCOMPARE(platform->runningApps(), QVector<App*>{editor});
    QVERIFY(editor->isRunning());
    QCOMPARE(platform->currentApp(), nullptr);

    QSignalSpy running(platform.get(), &Platform::runningAppsChanged);
    extension.apply(
        {{QStringLiteral("installedApps"), QJsonArray{appEntry(Editor, QStringLiteral("Renamed"), icon),
                                                      appEntry(Terminal, QStringLiteral("Terminal"), icon)}}});
    QSignalSpy current(platform.get(), &Platform::currentAppChanged);
    QVERIFY(current.wait()); // merged, and the running ones asked for again: the same answer
    roundTrip();
    roundTrip();
    QCOMPARE(running.size(), 0);
    QCOMPARE(editor->name(), QStringLiteral("Editor"));
    QCOMPARE(platform->installedApps().size(), 2);

    extension.apply({{QStringLiteral("runningApps"), QJsonArray{Terminal}}});
    QVERIFY(running.wait());
    roundTrip();
    QCOMPARE(running.size(), 1);
    QCOMPARE(platform->runningApps(), QVector<App*>{platform->app(Terminal)});
    QVERIFY(!editor->isRunning());
}

void TestGNOMEPlatform::saveIcon(const QString& path, Qt::GlobalColor colour)
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(path, "PNG"));
}

void TestGNOMEPlatform::iconLookupOrder()
{
    // A pixmaps folder of our own, each image in its own colour.
    const QString pixmaps = environment.home() + QStringLiteral("/pixmaps");
    QVERIFY(QDir().mkpath(pixmaps));
    saveIcon(pixmaps + QStringLiteral("/themed.png"), Qt::black);
    saveIcon(pixmaps + QStringLiteral("/tool.png"), Qt::red);
    saveIcon(pixmaps + QStringLiteral("/tool.xpm"), Qt::yellow);
    writeFile(pixmaps + QStringLiteral("/tool.svg"), "<svg xmlns='http://www.w3.org/2000/svg' width='8' height='8'>"
                                                     "<rect width='8' height='8' fill='#00ffff'/></svg>");
    auto colour = [](const QIcon& icon) { return icon.pixmap(8, 8).toImage().pixelColor(0, 0); };

    const GNOMEIconLookup lookup(pixmaps);
    QCOMPARE(colour(lookup.find(icon, Editor)), QColor(Qt::red));
    QCOMPARE(lookup.find(QStringLiteral("themed"), Editor).name(), QStringLiteral("themed"));
    QCOMPARE(colour(lookup.find(QStringLiteral("tool"), Editor)), QColor(Qt::red));
    QFile::remove(pixmaps + QStringLiteral("/tool.png"));
    QCOMPARE(colour(lookup.find(QStringLiteral("tool"), Editor)), QColor(Qt::yellow));
    QFile::remove(pixmaps + QStringLiteral("/tool.xpm"));
    QCOMPARE(colour(lookup.find(QStringLiteral("tool"), Editor)), QColor(Qt::cyan));
    QCOMPARE(lookup.find(QStringLiteral("missing"), QStringLiteral("named-after-id.desktop")).name(),
             QStringLiteral("named-after-id"));
    QVERIFY(lookup.find(QStringLiteral("missing"), Editor).isNull());
}

void TestGNOMEPlatform::scriptsSettleByExitCode()
{
    platform = std::make_unique<GNOMEPlatform>();
    auto settle = [this](const QString& name, const QStringList& arguments = {}) -> QVariant {
        Promise<QByteArray>* promise = platform->runScript(name, arguments);
        QSignalSpy resolved(promise, &BasePromise::resolve);
        QSignalSpy rejected(promise, &BasePromise::reject);
        QSignalSpy gone(promise, &QObject::destroyed);
        if (!gone.wait())
            return QStringLiteral("never settled");
        return resolved.size() == 1 && rejected.isEmpty() ? QVariant(true) : rejected.value(0).value(0);
    };
    QCOMPARE(settle(QStringLiteral("enable-extension")), QVariant(true));
    QCOMPARE(commands(), QStringList{QStringLiteral("enable ") + ExtensionUuid});
    qputenv("GNOME_EXTENSIONS_FAIL", "Extension does not exist");
    QCOMPARE(settle(QStringLiteral("disable-extension")).toString(),
             QStringLiteral("Extension does not exist\ndisable-extension.sh: cannot disable %1\n").arg(ExtensionUuid));
    QVERIFY(settle(QStringLiteral("install-extension")).toString().contains(QStringLiteral("usage")));
    QVERIFY(settle(QStringLiteral("no-such-script")).toString().contains(QStringLiteral("No such file")));
}

void TestGNOMEPlatform::extensionAtTheFeedsVersionIsNotDownloaded()
{
    const QString folder = environment.home() + QStringLiteral("/data/gnome-shell/extensions/") + ExtensionUuid;
    QVERIFY(QDir().mkpath(folder));
    writeFile(folder + QStringLiteral("/metadata.json"), R"({"uuid": "pavo@osmunda.org", "version": 7})");
    web.enqueue("/extension.xml",
                HttpTestServer::answer(200, "<release><version>7</version><url>" +
                                                web.url(QStringLiteral("/extension.zip")).toEncoded() +
                                                "</url></release>"));
    startPlatform(QString());
    QCOMPARE(platform->extensionUpdater()->currentVersion(), QStringLiteral("7"));
    QCOMPARE(web.count("/extension.zip"), 0);
    QVERIFY(QFile::remove(folder + QStringLiteral("/metadata.json")));
}

void TestGNOMEPlatform::missingExtensionIsDownloadedAndInstalled()
{
    web.enqueue("/extension.xml",
                HttpTestServer::answer(200, "<release><version>7</version><url>" +
                                                web.url(QStringLiteral("/extension.zip")).toEncoded() +
                                                "</url></release>"));
    web.enqueue("/extension.zip", HttpTestServer::answer(200, "PK archive"));
    startPlatform(QString());
    QCOMPARE(web.count("/extension.zip"), 1);
    const QStringList& ran = startUpCommands;
    QCOMPARE(ran.size(), 3);
    QVERIFY(ran.at(0).startsWith(QStringLiteral("install --force ") + environment.home()));
    QCOMPARE(ran.mid(1),
             (QStringList{QStringLiteral("enable ") + ExtensionUuid, QStringLiteral("disable ") + ExtensionUuid}));
}

void TestGNOMEPlatform::failedInstallationStillEndsInReady()
{
    qputenv("GNOME_EXTENSIONS_FAIL", "Not a valid extension bundle");
    web.enqueue("/extension.xml",
                HttpTestServer::answer(200, "<release><version>8</version><url>" +
                                                web.url(QStringLiteral("/extension.zip")).toEncoded() +
                                                "</url></release>"));
    web.enqueue("/extension.zip", HttpTestServer::answer(200, "not an archive"));
    startPlatform(QStringLiteral("Update error: exit code 1"));
    QVERIFY(startUpCommands.value(0).startsWith(QStringLiteral("install --force ")));
}

void TestGNOMEPlatform::autostartEntry()
{
    platform = std::make_unique<GNOMEPlatform>();
    const QString entry = environment.home() + QStringLiteral("/config/autostart/pavo-server.desktop");
    const QByteArray expected = "[Desktop Entry]\nType=Application\nName=Pavo Server\nExec=" +
                                QCoreApplication::applicationFilePath().toUtf8() + '\n';
    platform->setAutostart(true);
    platform->setAutostart(true);
    QFile file(entry);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), expected);
    QCOMPARE(QDir(environment.home() + QStringLiteral("/config/autostart")).count(), 2u + 1u); // ., .. and it
    platform->setAutostart(false);
    QVERIFY(!QFile::exists(entry));
    platform->setAutostart(false);

    QVERIFY(QDir().mkpath(entry)); // something in the way that cannot be written
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Cannot write .*pavo-server.desktop")));
    platform->setAutostart(true);
    QVERIFY(QDir().rmdir(entry));
}

void TestGNOMEPlatform::suffixThatIsNoNameGetsNoIcon()
{
    platform = std::make_unique<GNOMEPlatform>();
    const QStringList before = QDir(environment.home()).entryList(QDir::AllEntries | QDir::Hidden);
    QVERIFY(!platform->fileTypeIcon(QStringLiteral("txt"), 16).isNull());
    QVERIFY(platform->fileTypeIcon(QStringLiteral("../../x"), 16).isNull());
    QVERIFY(platform->fileTypeIcon(QStringLiteral("txt") + QChar(0) + QStringLiteral("/x"), 16).isNull());
    QVERIFY(platform->fileTypeIcon(QString(QStringLiteral("a")) + QChar(0), 16).isNull());
    QCOMPARE(QDir(environment.home()).entryList(QDir::AllEntries | QDir::Hidden), before);
}

QTEST_MAIN(TestGNOMEPlatform)
#include "testgnomeplatform.moc"

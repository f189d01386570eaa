#include "extensioninterface.h"
#include "handlers/promise.h"
#include "platform/app.h"
#include "platform/extension.h"
#include "platform/gnomeplatform.h"
#include "tests/support/httptestserver.h"
#include "tests/support/standinextension.h"
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
    QString commandLog;
    QString icon; // an image file every stand-in application can use
    std::unique_ptr<GNOMEPlatform> platform;

    // The gnome-extensions command lines the scripts ran, and the calls the stand-in received.
    QStringList commands() const;
    QStringList callsTo(const QString& method) const { return extension.calls.filter(method + QLatin1Char('(')); }
    // Returns once every call the platform made before it has reached the stand-in, and every
    // signal the stand-in emitted before it has reached the platform.
    void roundTrip();
    // A platform past its start-up probe, its extension check answered by the loopback server.
    void startPlatform();
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
};

void TestGNOMEPlatform::initTestCase()
{
    // A stand-in gnome-extensions records what the real scripts ask of it.
    const QString bin = environment.home() + QStringLiteral("/bin");
    commandLog = environment.home() + QStringLiteral("/gnome-extensions.log");
    QVERIFY(QDir().mkpath(bin));
    writeFile(bin + QStringLiteral("/gnome-extensions"),
              "#!/bin/bash\necho \"$*\" >> '" + commandLog.toUtf8() +
                  "'\n[ -z \"$GNOME_EXTENSIONS_FAIL\" ] || { echo \"$GNOME_EXTENSIONS_FAIL\" >&2; exit 2; }\n");
    QVERIFY(QFile::setPermissions(bin + QStringLiteral("/gnome-extensions"), QFile::ReadOwner | QFile::ExeOwner));
    qputenv("PATH", bin.toUtf8() + ':' + qgetenv("PATH"));
    qputenv("TMPDIR", environment.home().toUtf8());
    icon = environment.home() + QStringLiteral("/app.png");
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(icon));
    web.setResponse("/extension.xml", HttpTestServer::answer(404));
    updater::DefaultUpdater::setFirstCheckDelay(24 * 3600 * 1000); // only the checks the platform starts
    QVERIFY(extension.registerOn(shell));
}

void TestGNOMEPlatform::init()
{
    QFile::remove(commandLog);
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

QStringList TestGNOMEPlatform::commands() const
{
    QFile log(commandLog);
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void TestGNOMEPlatform::roundTrip()
{
    // The bus keeps the order of one connection's messages: a signal sent before this reply
    // arrives before it, and so does every call the platform made before this one.
    QDBusPendingCallWatcher watcher(platform->extension()->brightness());
    QSignalSpy answered(&watcher, &QDBusPendingCallWatcher::finished);
    QVERIFY(answered.wait());
}

void TestGNOMEPlatform::startPlatform()
{
    platform = std::make_unique<GNOMEPlatform>();
    platform->extensionUpdater()->setFeedUrl(web.url(QStringLiteral("/extension.xml")));
    QSignalSpy ready(platform.get(), &Platform::ready);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Update check failed")));
    platform->init();
    QVERIFY(ready.wait());
    QTRY_COMPARE(commands().size(), 2); // the disable script runs after ready
    QFile::remove(commandLog);
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

QTEST_MAIN(TestGNOMEPlatform)
#include "testgnomeplatform.moc"

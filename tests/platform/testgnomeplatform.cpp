#include "extensioninterface.h"
#include "http/webservice.h"
#include "platform/app.h"
#include "platform/extension.h"
#include "platform/gnomeiconlookup.h"
#include "platform/gnomeplatform.h"
#include "platform/imagepreview.h"
#include "server/core.h"
#include "server/protocol.h"
#include "tests/support/httptestserver.h"
#include "tests/support/standinextension.h"
#include "tests/support/standingnomeextensions.h"
#include "tests/support/testclient.h"
#include "tests/support/testenvironment.h"
#include "tests/support/warningcounter.h"
#include "updater/defaultupdater.h"
#include "updater/signatureverifier.h"

#include <QDBusPendingCallWatcher>
#include <QDir>
#include <QSignalSpy>
#include <QtTest>

#include <malloc.h>
#include <sys/stat.h>

#include <memory>

namespace {
const QString Editor = QStringLiteral("editor.desktop");
const QString Terminal = QStringLiteral("terminal.desktop");

QJsonObject appEntry(const QString& id, const QString& name, const QString& icon)
{
    return {{"id", id}, {"name", name}, {"icon", icon}};
}

} // namespace

// The GNOME platform on a private session bus against the stand-in extension, with the real
// scripts beside the suite and stand-in desktop commands first on PATH.
class TestGNOMEPlatform : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    HttpTestServer web{HttpTestServer::Scheme::Https};
    StandInExtension extension;
    QDBusConnection shell = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("shell"));
    StandInGnomeExtensions gnomeExtensions{environment.home()};
    const QString enable = "enable " + ExtensionUuid;
    const QString disable = "disable " + ExtensionUuid;
    const QString autostart = environment.home() + "/config/autostart/pavo-server.desktop";
    QString icon; // an image file every stand-in application can use
    const QByteArray archive = "PK archive";
    std::unique_ptr<GNOMEPlatform> platform;
    QStringList startUpCommands;
    TestClient device;

    QStringList commands() const { return gnomeExtensions.commands(); }

    HttpTestServer::Response feed(const QByteArray& version) const
    {
        return HttpTestServer::answer(200, "<release><version>" + version + "</version><url>" +
                                               web.url("/extension.zip").toEncoded() + "</url><signature>" +
                                               HttpTestServer::releaseSignature(archive) + "</signature></release>");
    }

    // Returns once every call the platform made before it has reached the stand-in, and every
    // signal the stand-in emitted before it has reached the platform: the bus keeps their order.
    void roundTrip()
    {
        QDBusPendingCallWatcher watcher(platform->extension()->brightness());
        QSignalSpy answered(&watcher, &QDBusPendingCallWatcher::finished);
        QVERIFY(answered.wait());
    }

    // What the platform asks the stand-in for after its last signals: the first round trip brings
    // the signals in, the second the queries they caused.
    QStringList queriesCaused()
    {
        extension.calls.clear();
        roundTrip();
        roundTrip();
        return extension.calls.filter(QRegularExpression("^(?!brightness)"));
    }

    // A platform past its start-up probe, whose commands are kept in startUpCommands.
    void startPlatform(const QString& checkWarning = QStringLiteral("Update check failed"))
    {
        platform = std::make_unique<GNOMEPlatform>();
        QSignalSpy ready(platform.get(), &Platform::ready);
        if (!checkWarning.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(checkWarning));
        platform->init();
        QVERIFY(ready.wait());
        QTRY_COMPARE(commands().filter(disable).size(), 1); // the disable script runs after ready
        startUpCommands = commands();
        gnomeExtensions.clear();
        extension.calls.clear();
    }

    void activate()
    {
        QSignalSpy locked(platform.get(), &Platform::screenLockChanged);
        platform->setActive(true);
        QVERIFY(locked.wait()); // the last of the state queries
        roundTrip();
    }

private slots:
    void initTestCase()
    {
        qputenv("TMPDIR", environment.home().toUtf8());
        qputenv("XDG_DATA_DIRS",
                (environment.home() + "/system/local:" + environment.home() + "/system/share").toUtf8());
        icon = environment.saveImage("app.png", Qt::red);
        // Two application icons and the icon of one file type.
        environment.useIconTheme({{"themed", Qt::green}, {"named-after-id", Qt::green}, {"text-x-generic", Qt::gray}});
        // Beside the stand-in gnome-extensions: desktop commands that note their arguments.
        for (const char* command : {"xdg-open", "gtk-launch"})
            environment.writeFile(
                QString("bin/") + command,
                "#!/bin/bash\n{ printf %s \"${0##*/}\"; printf ' [%s]' \"$@\"; echo; } >> \"$HOME/opened\"\n",
                QFile::ReadOwner | QFile::ExeOwner);
        setWebServiceBaseUrl(web.url(QString()).toEncoded()); // its extension feed: none but when enqueued
        web.setResponse("/extension.zip", HttpTestServer::answer(200, archive));
        updater::SignatureVerifier::setPublicKey(HttpTestServer::releasePublicKey());
        updater::DefaultUpdater::setFirstCheckDelay(24 * 3600 * 1000); // only the checks the platform starts
        QVERIFY(extension.registerOn(shell));
    }

    void init()
    {
        gnomeExtensions.clear();
        extension.calls.clear();
        qunsetenv("GNOME_EXTENSIONS_FAIL");
    }

    void cleanup()
    {
        platform.reset();
        extension.unanswered.clear();
        extension.apply({{"installedApps", QJsonArray()}, {"runningApps", QJsonArray()}, {"currentApp", QString()}});
    }

    void startUp_data()
    {
        QTest::addColumn<QString>("installedIn"); // at the feed's version; empty: nowhere
        QTest::addColumn<bool>("answering");
        QTest::addColumn<QString>("installerFailure");
        QTest::newRow("current, answering") << "data" << true << QString();
        QTest::newRow("current, silent") << "data" << false << QString();
        QTest::newRow("current system-wide") << "system/share" << true << QString();
        QTest::newRow("missing") << QString() << true << QString();
        QTest::newRow("installer fails") << QString() << true << "Not a valid extension bundle";
    }

    // The check installs what is missing; then the probe enables, asks, disables, and ready follows.
    void startUp()
    {
        QFETCH(QString, installedIn);
        QFETCH(bool, answering);
        QFETCH(QString, installerFailure);
        const bool installed = !installedIn.isEmpty();
        const QString metadata = "/gnome-shell/extensions/" + ExtensionUuid + "/metadata.json";
        QFile::remove(environment.home() + "/data" + metadata);
        QFile::remove(environment.home() + "/system/share" + metadata);
        if (installed)
            environment.writeFile(installedIn + metadata, R"({"uuid": "pavo@osmunda.org", "version": 7})");
        if (!installerFailure.isEmpty())
            qputenv("GNOME_EXTENSIONS_FAIL", installerFailure.toUtf8());
        if (!answering)
            extension.unregisterFrom(shell);
        web.enqueue("/gnome-shell-extension.xml", feed("7"));
        const int downloads = web.count("/extension.zip");
        QStringList commandsAtVersionCall;
        QObject context;
        connect(&extension, &StandInExtension::called, &context, [&](const QString& call) {
            if (call == "invokeString(version)")
                commandsAtVersionCall = commands();
        });
        startPlatform(installerFailure.isEmpty() ? QString() : "Update error: exit code 1");
        QCOMPARE(platform->isAvailable(), answering);
        QCOMPARE(web.count("/extension.zip") - downloads, installed ? 0 : 1);
        QCOMPARE(startUpCommands.mid(installed ? 0 : 1), (QStringList{enable, disable}));
        QVERIFY(installed || startUpCommands.at(0).startsWith("install --force " + environment.home()));
        if (answering)
            QCOMPARE(commandsAtVersionCall, startUpCommands.mid(0, startUpCommands.size() - 1));
        else
            QVERIFY(extension.registerOn(shell));
    }

    void failedActivationAsksForPermissions()
    {
        startPlatform();
        extension.unregisterFrom(shell);
        web.enqueue("/gnome-shell-extension.xml", feed("8"));
        QSignalSpy permissions(platform.get(), &Platform::needPermissions);
        QSignalSpy ready(platform.get(), &Platform::ready);
        platform->setActive(true);
        QVERIFY(permissions.wait());
        QVERIFY(!platform->isAvailable() && platform->installedApps().isEmpty());
        // Checked for again: the newer extension is installed and probed for, with no second ready.
        QTRY_COMPARE(commands().size(), 4);
        QVERIFY(commands().at(1).startsWith("install --force "));
        QCOMPARE(commands().mid(2), (QStringList{enable, disable}));
        QCOMPARE(ready.size(), 0);
        QVERIFY(extension.registerOn(shell));
    }

    void activationFollowsTheExtensionUntilDeactivation()
    {
        const QString hidden = "hidden.desktop"; // its icon is nowhere: never registered
        extension.apply({{"installedApps", QJsonArray{appEntry(Editor, "Editor", icon), appEntry(hidden, "", "no")}},
                         {"runningApps", QJsonArray{hidden, Editor}},
                         {"currentApp", hidden},
                         {"volumeLevel", 35},
                         {"volumeMute", 1},
                         {"screenLocked", true},
                         {"unsupportedFeatures", QJsonArray{"brightness"}}});
        startPlatform();
        activate();
        QCOMPARE(commands(), QStringList{enable});
        QCOMPARE(extension.calls.filter("invokeString").size(), 1);
        App* editor = platform->app(Editor);
        QCOMPARE(platform->installedApps(), QVector<App*>{editor});
        QCOMPARE(platform->runningApps(), QVector<App*>{editor});
        QVERIFY(editor->isRunning() && !platform->currentApp());
        QCOMPARE(platform->volumeLevel(), 35);
        QVERIFY(platform->volumeMute() && platform->screenLocked());
        QCOMPARE(platform->unsupportedFeatures(), QStringList{"brightness"});

        // Known applications are never refreshed; running ones change with one signal per change.
        QSignalSpy running(platform.get(), &Platform::runningAppsChanged);
        QSignalSpy current(platform.get(), &Platform::currentAppChanged);
        extension.apply(
            {{"installedApps", QJsonArray{appEntry(Editor, "Renamed", icon), appEntry(Terminal, "Terminal", icon)}}});
        QVERIFY(current.wait()); // merged, and the running ones asked for again: the same answer
        roundTrip();
        QCOMPARE(running.size(), 0);
        QCOMPARE(editor->name(), QStringLiteral("Editor"));
        extension.apply({{"runningApps", QJsonArray{Terminal}}, {"currentApp", Terminal}});
        QVERIFY(running.wait());
        roundTrip();
        QCOMPARE(running.size(), 1);
        QCOMPARE(platform->runningApps(), QVector<App*>{platform->app(Terminal)});
        QVERIFY(!editor->isRunning() && platform->app(Terminal)->isCurrent());

        WarningCounter warnings(".");
        emit extension.dataChanged("noSuchQuery");
        QCOMPARE(queriesCaused(), QStringList());
        QCOMPARE(warnings.count(), 0);

        QSignalSpy installed(platform.get(), &Platform::installedAppsChanged);
        platform->setActive(false);
        QCOMPARE(installed.size(), 1);
        QCOMPARE(current.last().at(0).value<App*>(), nullptr); // the current one hears it before it goes
        QVERIFY(platform->installedApps().isEmpty() && platform->runningApps().isEmpty() && !platform->currentApp() &&
                !platform->app(Editor));
        QTRY_COMPARE(commands(), (QStringList{enable, disable}));
        extension.apply({{"volumeLevel", 90}, {"runningApps", QJsonArray{Editor}}});
        QCOMPARE(queriesCaused(), QStringList());
        QCOMPARE(platform->volumeLevel(), 35);
    }

    // A shell that stops answering holds requests for the desktop's first state two seconds at most.
    void firstStateIsAwaitedTwoSecondsAtMost()
    {
        startPlatform();
        extension.unanswered = QStringList{"volumeLevel"};
        QSignalSpy arrived(platform.get(), &Platform::firstStateArrived);
        QElapsedTimer clock;
        clock.start();
        platform->setActive(true);
        QVERIFY(platform->awaitsFirstState());
        QVERIFY(arrived.wait(3000));
        QVERIFY(clock.elapsed() >= 1900 && !platform->awaitsFirstState()); // a coarse timer may be 5% early
    }

    void actionsReachTheExtension()
    {
        extension.apply({{"installedApps", QJsonArray{appEntry(Editor, "Editor", icon)}}});
        startPlatform();
        activate();
        App* editor = platform->app(Editor);
        for (auto operation : {&App::activate, &App::quit, &App::close, &App::toggleMinimize, &App::toggleMaximize,
                               &App::toggleFullscreen, &App::performFocusedElement})
            (editor->*operation)();
        editor->setFocusedElementValue("hello, world");
        // Split at commas, empty parts kept, unless the comma is the last key.
        for (const char* keys : {"ctrl+x,ctrl+s", "a,,b", "", "ctrl+,"})
            editor->performShortcut(keys);
        extension.calls.clear();
        roundTrip();
        QCOMPARE(
            extension.calls.filter(QRegularExpression("^(invoke|set|appCommand|perform)")).join(' '),
            QString(
                "appCommand(editor.desktop,activate) appCommand(editor.desktop,quit) appCommand(editor.desktop,close) "
                "appCommand(editor.desktop,toggleMinimize) appCommand(editor.desktop,toggleMaximize) "
                "appCommand(editor.desktop,toggleFullscreen) performFocusedElement(editor.desktop) "
                "setFocusedElementValue(hello, world) performShortcut(ctrl+x) performShortcut(ctrl+s) "
                "performShortcut(a) performShortcut() performShortcut(b) performShortcut() "
                "performShortcut(ctrl+,)"));
    }

    void iconLookupOrder()
    {
        // A pixmaps folder of our own, each image in its own colour.
        environment.saveImage("pixmaps/themed.png", Qt::black);
        environment.saveImage("pixmaps/tool.png", Qt::red);
        const GNOMEIconLookup lookup(environment.home() + "/pixmaps");
        auto colour = [&](const QString& name) {
            return lookup.find(name, Editor).pixmap(8).toImage().pixelColor(0, 0);
        };
        QCOMPARE(colour(icon), QColor(Qt::red));
        QCOMPARE(lookup.find("themed", Editor).name(), QStringLiteral("themed"));
        QCOMPARE(colour("tool"), QColor(Qt::red));
        QCOMPARE(lookup.find("missing", "named-after-id.desktop").name(), QStringLiteral("named-after-id"));
        QVERIFY(lookup.find("missing", Editor).isNull());
        // A pipe is never read, whether named by path, in the pixmaps folder or through the id.
        const QString fifo = environment.home() + "/pixmaps/pipe.png";
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QVERIFY(lookup.find(fifo, Editor).isNull() && lookup.find("pipe", Editor).isNull() &&
                lookup.find("", fifo + ".desktop").isNull());
    }

    // A failing script's complaint reaches the log.
    void failedEnableIsLogged()
    {
        startPlatform();
        qputenv("GNOME_EXTENSIONS_FAIL", "Extension does not exist");
        WarningCounter complaint(R"(^Cannot enable the shell extension: "Extension does not exist\\nenable-extension)"
                                 R"(\.sh: cannot enable pavo@osmunda\.org\\n"$)");
        platform->setActive(true);
        QTRY_COMPARE(complaint.count(), 1);
    }

    // The program stops without its scripts, after writing its autostart entry: quoted, as the
    // session would split the path at its space.
    void autostartAndScriptsBesideTheProgram()
    {
        if (QFileInfo::exists("/usr/share/pavo-server/scripts"))
            QSKIP("the installed scripts would be found first");
        const QString folder = environment.home() + "/program folder";
        const QString program = folder + "/pavo-server";
        QVERIFY(QDir().mkpath(folder) && QFile::copy(SCRIPTS_PROBE, program));
        QProcess probe;
        probe.setWorkingDirectory(folder);
        probe.start(program, {"autostart"});
        QVERIFY(probe.waitForFinished());
        QVERIFY(probe.exitStatus() == QProcess::CrashExit || probe.exitCode() != 0);
        QVERIFY(probe.readAllStandardError().contains("Cannot find scripts directory"));
        QCOMPARE(fileContent(autostart),
                 "[Desktop Entry]\nType=Application\nName=Pavo Server\nExec=\"" + program.toUtf8() + "\"\n");
        QVERIFY(QDir().mkdir(folder + "/scripts"));
        probe.start(program, QStringList());
        QVERIFY(probe.waitForFinished());
        QCOMPARE(probe.readAllStandardOutput(), (folder + "/scripts\n").toUtf8());

        platform = std::make_unique<GNOMEPlatform>();
        platform->setAutostart(true);
        QCOMPARE(fileContent(autostart), "[Desktop Entry]\nType=Application\nName=Pavo Server\nExec=" +
                                             QCoreApplication::applicationFilePath().toUtf8() + '\n');
        platform->setAutostart(false);
        QVERIFY(!QFile::exists(autostart));
        QVERIFY(QDir().mkpath(autostart)); // something in the way that cannot be written
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Cannot write .*pavo-server.desktop"));
        platform->setAutostart(true);
        QVERIFY(QDir().rmdir(autostart));
    }

    // Only an existing absolute path is opened, handed over as a URL: never an option or a name
    // relative to the program's folder.
    void openFileStartsADesktopCommand()
    {
        platform = std::make_unique<GNOMEPlatform>();
        const QString log = environment.home() + "/opened";
        const QString file = environment.writeFile("a b#1.txt", "text");
        const QString url = "file://" + environment.home() + "/a%20b%231.txt";
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Not an application id"));
        platform->openFile(file, "--gtk-module=x");
        for (const QString& refused : {QString(), QString("--help"), QString("a b#1.txt"), file + ".missing"}) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Not an existing file"));
            platform->openFile(refused, Editor);
        }
        QDir::setCurrent(environment.home()); // where the relative name would be found
        platform->openFile(file, QString());
        QTRY_COMPARE(fileContent(log).count('\n'), 1);
        platform->openFile(file, Editor);
        QTRY_COMPARE(fileContent(log).count('\n'), 2);
        QCOMPARE(fileContent(log), ("xdg-open [" + url + "]\ngtk-launch [editor.desktop] [" + url + "]\n").toUtf8());
        QDir::setCurrent(QCoreApplication::applicationDirPath());
    }

    void fileIconsAndPreviews()
    {
        platform = std::make_unique<GNOMEPlatform>();
        // A suffix from a client names a type, never a place.
        const QStringList before = QDir(environment.home()).entryList(QDir::AllEntries | QDir::Hidden);
        QVERIFY(!platform->fileTypeIcon("txt", 16).isNull());
        for (const QString& suffix : {QString("../../x"), "txt" + QString(QChar(0)) + "/x", "a" + QString(QChar(0))})
            QVERIFY(platform->fileTypeIcon(suffix, 16).isNull());
        QCOMPARE(QDir(environment.home()).entryList(QDir::AllEntries | QDir::Hidden), before);
        // Endless made-up suffixes are one unknown type: what is kept for them doesn't grow.
        const size_t heap = mallinfo2().uordblks;
        for (int i = 0; i < 20000; ++i)
            platform->fileTypeIcon("x" + QString::number(i), 16);
        QVERIFY(mallinfo2().uordblks < heap + 512 * 1024);

        const QString tall = environment.saveImage("tall.png", Qt::blue, QSize(10, 3000));
        QCOMPARE(platform->filePreview(tall, 100, 0).height(), LargestPreviewEdge);
        const QImage textIcon = platform->filePreview(environment.writeFile("notes.txt", "plain text"), 8, 0).toImage();
        QCOMPARE(textIcon.size(), QSize(8, 8));
        QCOMPARE(textIcon.pixelColor(0, 0), QColor(Qt::gray)); // the icon of its type

        // With no icon theme at all, as on a system without a desktop: the framework's own pictures.
        const QStringList themes = QIcon::themeSearchPaths();
        QIcon::setThemeSearchPaths({});
        QVERIFY(!platform->fileTypeIcon("txt", 32).isNull() && !platform->fileIcon(environment.home(), 32).isNull());
        QIcon::setThemeSearchPaths(themes);

        // Only regular files are read: a pipe nobody writes to is shown by the icon of its name.
        const QString fifo = environment.home() + "/fifo";
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QVERIFY(!platform->filePreview(fifo, 32, 0).isNull());
    }

    // Last, as the core is one per program: a client admitted by the core on a GNOME platform.
    void clientSeesTheDesktopThroughTheCore()
    {
        extension.apply({{"installedApps", QJsonArray{appEntry(Editor, "Editor", icon), appEntry(Terminal, "T", icon)}},
                         {"runningApps", QJsonArray{Terminal}},
                         {"currentApp", Terminal},
                         {"volumeLevel", 64}});
        QSignalSpy ready(Core::instance(), &Core::ready);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Update check failed"));
        Core::instance()->start();
        QVERIFY(ready.wait());
        Server* server = Core::instance()->server();

        // A device that leaves while its request waits for the desktop to be switched on is owed nothing.
        TestClient leaving("leaving");
        QVERIFY(leaving.pair(*server));
        leaving.send(request(Method::InstalledApps));
        QVERIFY(leaving.leave());
        QTRY_VERIFY(server->clients().isEmpty());

        // The first answers on a fresh connection wait for the desktop's state instead of showing one
        // that is off: no applications, volume 0, no icon at all.
        QVERIFY(device.pair(*server));
        const QJsonObject icon = request(Method::AppIcon, {{Key::Id, Editor}, {Key::Size, 16}});
        for (const QJsonObject& asked : {request(Method::InstalledApps), request(Method::Volume), icon})
            device.send(asked);
        QMap<QString, QJsonObject> first; // of each method: pushes of the other state come in between
        while (!first.contains(Method::InstalledApps) || !first.contains(Method::Volume) ||
               !first.contains(Method::AppIcon)) {
            const QJsonObject answer = device.nextJson();
            QVERIFY(!answer.isEmpty());
            first.insert(answer[Key::Method].toString(), first.value(answer[Key::Method].toString(), answer));
        }
        QCOMPARE(first.value(Method::InstalledApps).value(Key::Apps).toArray().size(), 2);
        QCOMPARE(first.value(Method::Volume).value(Key::Value).toInt(), 64);
        QCOMPARE(first.value(Method::AppIcon), icon);

        // Roles as the shell names them: with a lower-case first letter, one we do not know, none.
        auto focus = [this](const QJsonArray& element) {
            extension.apply({{"focusedElement", element}});
            QJsonObject pushed = device.nextJson();
            while (!pushed.isEmpty() && pushed.value(Key::Method) != Method::FocusedElement) // other pushes
                pushed = device.nextJson();
            return QStringList{pushed[Key::Id].toString(), pushed[Key::FocusRole].toString(),
                               pushed[Key::Name].toString(), pushed[Key::Value].toString()}
                .join('|');
        };
        QCOMPARE(focus({"text", "Search", "line\nmore"}), Terminal + "|Text|Search|line...");
        QCOMPARE(focus({"bogus", "Search", "line"}), Terminal + "||Search|line");
        QCOMPARE(focus({"", "ignored", "ignored"}), Terminal + "|Null||");
    }
};

QTEST_MAIN(TestGNOMEPlatform)
#include "testgnomeplatform.moc"

// Our shell extension in a real headless GNOME Shell 43, asked over the session bus through the
// program's own generated proxy.
#include "extensioninterface.h"
#include "tests/extension/headlessshell.h"
#include "tests/extension/standinmediaplayer.h"
#include "tests/support/testenvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

namespace {
const QString Uuid = "pavo@osmunda.org";
const QString WindowApp = "org.osmunda.PavoTestWindow.desktop";

QByteArray desktopEntry(const QString& name)
{
    return "[Desktop Entry]\nType=Application\nName=" + name.toUtf8() +
           "\nIcon=pavo-test-icon\nExec=/usr/bin/python3 " TEST_WINDOW "\n";
}

// Waits until the extension has announced a change of the query, dropping what came before it.
bool waitForChange(QSignalSpy& changes, const QString& query)
{
    do {
        while (!changes.isEmpty()) {
            if (changes.takeFirst().at(0).toString() == query)
                return true;
        }
    } while (changes.wait(10000));
    return false;
}

template <typename T> T answer(QDBusPendingReply<T> reply)
{
    reply.waitForFinished();
    if (reply.isError())
        qWarning() << reply.error().message();
    return reply.value();
}

bool fails(QDBusPendingCall call)
{
    call.waitForFinished();
    return call.isError();
}

QJsonArray jsonArray(const QString& text)
{
    return QJsonDocument::fromJson(text.toUtf8()).array();
}

QStringList ids(const QJsonArray& apps)
{
    QStringList ids;
    for (const QJsonValue& app : apps)
        ids.append(app["id"].toString());
    return ids;
}
} // namespace

class TestShellExtension : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    HeadlessShell shell;
    OrgOsmundaPavoExtensionInterface* extension = nullptr;
    QProcess window;

    // The test window reports its entry's text and its state, a line for each change.
    bool waitForWindowLine(const QString& pattern)
    {
        do {
            while (window.canReadLine()) {
                if (QRegularExpression(pattern).match(QString::fromUtf8(window.readLine()).trimmed()).hasMatch())
                    return true;
            }
        } while (window.waitForReadyRead(10000));
        return false;
    }

    bool windowAppRuns() { return ids(jsonArray(answer(extension->runningApps()))).contains(WindowApp); }
    void startWindow() { shell.launch(window, "/usr/bin/python3", {TEST_WINDOW}); }

    QStringList focusedElement(const QString& id)
    {
        QDBusPendingReply<QString, QString, QString> reply = extension->focusedElement(id);
        reply.waitForFinished();
        return {reply.argumentAt<0>(), reply.argumentAt<1>(), reply.argumentAt<2>()};
    }

private slots:
    void initTestCase()
    {
        environment.writeFile("data/applications/" + WindowApp, desktopEntry("Pavo Test Window"));
        // Installed from the built zip by the program's own installer script.
        QCOMPARE(QProcess::execute("bash", {INSTALL_SCRIPT, EXTENSION_ZIP}), 0);
        QVERIFY(shell.start({Uuid}));
        QVERIFY2(shell.waitForExtensionState(Uuid, 1), qPrintable("see " + shell.logFile()));
        extension = new OrgOsmundaPavoExtensionInterface("org.gnome.Shell", "/org/osmunda/Pavo/Extension",
                                                         QDBusConnection::sessionBus(), this);
    }

    void queriesAnswerInTheirShapes()
    {
        QVERIFY(answer(extension->invokeString("version")).toInt() > 0);
        QVERIFY(fails(extension->invokeString("constructor")));

        const QJsonArray installed = jsonArray(answer(extension->installedApps()));
        for (const QJsonValue& app : installed) {
            QVERIFY(app["id"].toString().endsWith(".desktop"));
            QVERIFY(app["name"].isString() && app["icon"].isString());
        }
        const QJsonObject testApp = installed.at(ids(installed).indexOf(WindowApp)).toObject();
        QCOMPARE(testApp.value("name").toString(), "Pavo Test Window");
        QCOMPARE(testApp.value("icon").toString(), "pavo-test-icon");

        QSignalSpy changes(extension, &OrgOsmundaPavoExtensionInterface::dataChanged);
        environment.writeFile("data/applications/pavo-later.desktop", desktopEntry("Later"));
        QVERIFY(waitForChange(changes, "installedApps"));
        QVERIFY(ids(jsonArray(answer(extension->installedApps()))).contains("pavo-later.desktop"));

        QCOMPARE(jsonArray(answer(extension->runningApps())), QJsonArray());
        QCOMPARE(answer(extension->currentApp()), QString());
        QCOMPARE(answer(extension->screenLocked()), false);
        // Neither a sound server nor a settings daemon runs yet; the accessibility bus starts on demand.
        QCOMPARE(answer(extension->unsupportedFeatures()), QStringList({"volume", "brightness"}));
        QCOMPARE(answer(extension->volumeLevel()), qint16(0));
        QVERIFY(fails(extension->setVolumeLevel(50)));
        QCOMPARE(answer(extension->brightness()), qint16(0));
        QVERIFY(fails(extension->setBrightness(50)));
        QVERIFY(fails(extension->invoke("__proto__")));
    }

    // A sound server that starts after the shell is found, followed and missed when it ends.
    void volumeFollowsTheSoundServer()
    {
        QSignalSpy changes(extension, &OrgOsmundaPavoExtensionInterface::dataChanged);
        QProcess soundServer;
        soundServer.start("pulseaudio", {"--daemonize=no", "-n", "--exit-idle-time=-1", "--load=module-null-sink",
                                         "--load=module-native-protocol-unix"});
        QVERIFY(waitForChange(changes, "unsupportedFeatures"));
        QVERIFY(!answer(extension->unsupportedFeatures()).contains("volume"));

        extension->setVolumeLevel(40);
        QVERIFY(waitForChange(changes, "volumeLevel"));
        QCOMPARE(answer(extension->volumeLevel()), qint16(40));
        extension->setVolumeLevel(1000);
        QVERIFY(waitForChange(changes, "volumeLevel"));
        QCOMPARE(answer(extension->volumeLevel()), qint16(100));
        extension->setVolumeMute(1);
        QVERIFY(waitForChange(changes, "volumeMute"));
        QCOMPARE(answer(extension->volumeMute()), qint16(1));

        soundServer.terminate();
        QVERIFY(soundServer.waitForFinished());
        QVERIFY(waitForChange(changes, "unsupportedFeatures"));
        QVERIFY(answer(extension->unsupportedFeatures()).contains("volume"));
    }

    // Media keys go to the player that plays.
    void mediaCommandsReachThePlayingPlayer()
    {
        StandInMediaPlayer paused("paused", "Paused");
        StandInMediaPlayer playing("playing", "Playing");
        QVERIFY(paused.registerOn(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "paused")));
        QVERIFY(playing.registerOn(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "playing")));
        QSignalSpy commanded(&playing, &StandInMediaPlayer::commanded);
        for (const char* command : {"mediaPlayPause", "mediaNextTrack", "mediaPreviousTrack"}) {
            extension->invoke(QLatin1String(command));
            QVERIFY2(commanded.wait(5000), command);
        }
        QCOMPARE(playing.commands, QStringList({"PlayPause", "Next", "Previous"}));
        QCOMPARE(paused.commands, QStringList());
        QDBusConnection::disconnectFromBus("paused");
        QDBusConnection::disconnectFromBus("playing");
    }

    void testWindowIsTrackedAndCommanded()
    {
        QSignalSpy changes(extension, &OrgOsmundaPavoExtensionInterface::dataChanged);
        startWindow();
        QVERIFY(waitForChange(changes, "currentApp"));
        QCOMPARE(answer(extension->currentApp()), WindowApp);
        QVERIFY(windowAppRuns());

        extension->appCommand(WindowApp, "toggleMinimize");
        QVERIFY(waitForChange(changes, "currentApp"));
        QCOMPARE(answer(extension->currentApp()), QString());
        extension->appCommand(WindowApp, "activate");
        QVERIFY(waitForChange(changes, "currentApp"));
        QCOMPARE(answer(extension->currentApp()), WindowApp);

        extension->appCommand(WindowApp, "toggleMaximize");
        QVERIFY(waitForWindowLine("^state 1 0$"));
        extension->appCommand(WindowApp, "toggleFullscreen");
        QVERIFY(waitForWindowLine("^state \\d 1$"));
        extension->appCommand(WindowApp, "toggleFullscreen");
        QVERIFY(waitForWindowLine("^state \\d 0$"));

        QVERIFY(fails(extension->appCommand("nothing.desktop", "activate")));
        QVERIFY(fails(extension->appCommand(WindowApp, "hasOwnProperty")));
    }

    void keysAndTextReachTheFocusedWindow()
    {
        extension->performText("Pavo 1");
        QVERIFY(waitForWindowLine("^text Pavo 1$"));
        extension->performShortcut("ctrl+a");
        extension->performShortcut("BackSpace");
        QVERIFY(waitForWindowLine("^text$"));
        extension->performShortcut("shift+x");
        extension->performShortcut("space");
        extension->performShortcut("+");
        QVERIFY(waitForWindowLine("^text X \\+$"));
        QCOMPARE(focusedElement(WindowApp), QStringList({"text", "", "X +"}));
        QCOMPARE(focusedElement("nothing.desktop"), QStringList({"", "", ""}));
        extension->setFocusedElementValue("Pavo");
        QVERIFY(waitForWindowLine("^text Pavo$"));
        for (const char* shortcut : {"", "ctrl+", "ctrl+nokey", "hyper+a"})
            QVERIFY2(fails(extension->performShortcut(QLatin1String(shortcut))), shortcut);
    }

    void closingTheWindowIsReported()
    {
        QSignalSpy changes(extension, &OrgOsmundaPavoExtensionInterface::dataChanged);
        extension->appCommand(WindowApp, "close");
        QVERIFY(window.waitForFinished(10000));
        QVERIFY(waitForChange(changes, "runningApps"));
        QVERIFY(!windowAppRuns());
    }

    // Disabled, the extension leaves no object and no handler behind: a window that opens then is
    // announced by no one. Enabled again, it finds the window.
    void disableUnexportsAndEnableRestores()
    {
        QVERIFY(shell.setExtensionEnabled(Uuid, false));
        QVERIFY(shell.waitForExtensionState(Uuid, 2));
        QVERIFY(fails(extension->invokeString("version")));
        QVERIFY(shell.sync());
        QSignalSpy changes(extension, &OrgOsmundaPavoExtensionInterface::dataChanged);
        startWindow();
        QVERIFY(waitForWindowLine("^state"));
        QVERIFY(shell.sync());
        QCOMPARE(changes.count(), 0);

        QVERIFY(shell.setExtensionEnabled(Uuid, true));
        QVERIFY(shell.waitForExtensionState(Uuid, 1));
        // The shell may only now take the window for the application's.
        QVERIFY(windowAppRuns() || (waitForChange(changes, "runningApps") && windowAppRuns()));
        extension->appCommand(WindowApp, "close");
        QVERIFY(window.waitForFinished(10000));
    }

    // An exception in one of the extension's handlers reaches no caller, only the shell's log.
    void cleanupTestCase()
    {
        const QString log = QString::fromUtf8(fileContent(shell.logFile()));
        QVERIFY2(!log.contains("pavo@osmunda.org/extension.js"), qPrintable(log));
    }
};

QTEST_GUILESS_MAIN(TestShellExtension)
#include "testshellextension.moc"

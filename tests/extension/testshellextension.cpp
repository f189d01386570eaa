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
const QString Uuid = QStringLiteral("pavo@osmunda.org");
const QString WindowApp = QStringLiteral("org.osmunda.PavoTestWindow.desktop");

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
        ids.append(app[QLatin1String("id")].toString());
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
    bool waitForWindowLine(const QRegularExpression& pattern)
    {
        do {
            while (window.canReadLine()) {
                if (pattern.match(QString::fromUtf8(window.readLine()).trimmed()).hasMatch())
                    return true;
            }
        } while (window.waitForReadyRead(10000));
        return false;
    }

    void startWindow() { shell.launch(window, QStringLiteral("/usr/bin/python3"), {QStringLiteral(TEST_WINDOW)}); }

    QStringList focusedElement(const QString& id)
    {
        QDBusPendingReply<QString, QString, QString> reply = extension->focusedElement(id);
        reply.waitForFinished();
        return {reply.argumentAt<0>(), reply.argumentAt<1>(), reply.argumentAt<2>()};
    }

private slots:
    void initTestCase()
    {
        environment.writeFile(QStringLiteral("data/applications/") + WindowApp,
                              desktopEntry(QStringLiteral("Pavo Test Window")));
        // Installed from the built zip by the program's own installer script.
        QCOMPARE(
            QProcess::execute(QStringLiteral("bash"), {QStringLiteral(INSTALL_SCRIPT), QStringLiteral(EXTENSION_ZIP)}),
            0);
        QVERIFY(shell.start({Uuid}));
        QVERIFY2(shell.waitForExtensionState(Uuid, 1), qPrintable(QStringLiteral("see ") + shell.logFile()));
        extension = new OrgOsmundaPavoExtensionInterface(QStringLiteral("org.gnome.Shell"),
                                                         QStringLiteral("/org/osmunda/Pavo/Extension"),
                                                         QDBusConnection::sessionBus(), this);
    }

    void queriesAnswerInTheirShapes()
    {
        QVERIFY(answer(extension->invokeString(QStringLiteral("version"))).toInt() > 0);
        QVERIFY(fails(extension->invokeString(QStringLiteral("constructor"))));

        const QJsonArray installed = jsonArray(answer(extension->installedApps()));
        for (const QJsonValue& app : installed) {
            QVERIFY(app[QLatin1String("id")].toString().endsWith(QLatin1String(".desktop")));
            QVERIFY(app[QLatin1String("name")].isString() && app[QLatin1String("icon")].isString());
        }
        const QJsonObject testApp = installed.at(ids(installed).indexOf(WindowApp)).toObject();
        QCOMPARE(testApp.value(QLatin1String("name")).toString(), QStringLiteral("Pavo Test Window"));
        QCOMPARE(testApp.value(QLatin1String("icon")).toString(), QStringLiteral("pavo-test-icon"));

        QSignalSpy changes(extension, &OrgOsmundaPavoExtensionInterface::dataChanged);
        environment.writeFile(QStringLiteral("data/applications/pavo-later.desktop"),
                              desktopEntry(QStringLiteral("Later")));
        QVERIFY(waitForChange(changes, QStringLiteral("installedApps")));
        QVERIFY(ids(jsonArray(answer(extension->installedApps()))).contains(QStringLiteral("pavo-later.desktop")));

        QCOMPARE(jsonArray(answer(extension->runningApps())), QJsonArray());
        QCOMPARE(answer(extension->currentApp()), QString());
        QCOMPARE(answer(extension->screenLocked()), false);
        // Neither a sound server nor a settings daemon runs yet; the accessibility bus starts on demand.
        QCOMPARE(answer(extension->unsupportedFeatures()), QStringList({"volume", "brightness"}));
        QCOMPARE(answer(extension->volumeLevel()), qint16(0));
        QVERIFY(fails(extension->setVolumeLevel(50)));
        QCOMPARE(answer(extension->brightness()), qint16(0));
        QVERIFY(fails(extension->setBrightness(50)));
        QVERIFY(fails(extension->invoke(QStringLiteral("__proto__"))));
    }

    // A sound server that starts after the shell is found, followed and missed when it ends.
    void volumeFollowsTheSoundServer()
    {
        QSignalSpy changes(extension, &OrgOsmundaPavoExtensionInterface::dataChanged);
        QProcess soundServer;
        soundServer.start(QStringLiteral("pulseaudio"),
                          {QStringLiteral("--daemonize=no"), QStringLiteral("-n"),
                           QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--load=module-null-sink"),
                           QStringLiteral("--load=module-native-protocol-unix")});
        QVERIFY(waitForChange(changes, QStringLiteral("unsupportedFeatures")));
        QVERIFY(!answer(extension->unsupportedFeatures()).contains(QStringLiteral("volume")));

        extension->setVolumeLevel(40);
        QVERIFY(waitForChange(changes, QStringLiteral("volumeLevel")));
        QCOMPARE(answer(extension->volumeLevel()), qint16(40));
        extension->setVolumeLevel(1000);
        QVERIFY(waitForChange(changes, QStringLiteral("volumeLevel")));
        QCOMPARE(answer(extension->volumeLevel()), qint16(100));
        extension->setVolumeMute(1);
        QVERIFY(waitForChange(changes, QStringLiteral("volumeMute")));
        QCOMPARE(answer(extension->volumeMute()), qint16(1));

        soundServer.terminate();
        QVERIFY(soundServer.waitForFinished());
        QVERIFY(waitForChange(changes, QStringLiteral("unsupportedFeatures")));
        QVERIFY(answer(extension->unsupportedFeatures()).contains(QStringLiteral("volume")));
    }

    // Media keys go to the player that plays.
    void mediaCommandsReachThePlayingPlayer()
    {
        StandInMediaPlayer paused(QStringLiteral("paused"), QStringLiteral("Paused"));
        StandInMediaPlayer playing(QStringLiteral("playing"), QStringLiteral("Playing"));
        QVERIFY(
            paused.registerOn(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("paused"))));
        QVERIFY(
            playing.registerOn(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("playing"))));
        QSignalSpy commanded(&playing, &StandInMediaPlayer::commanded);
        for (const char* command : {"mediaPlayPause", "mediaNextTrack", "mediaPreviousTrack"}) {
            extension->invoke(QLatin1String(command));
            QVERIFY2(commanded.wait(5000), command);
        }
        QCOMPARE(playing.commands, QStringList({"PlayPause", "Next", "Previous"}));
        QCOMPARE(paused.commands, QStringList());
        QDBusConnection::disconnectFromBus(QStringLiteral("paused"));
        QDBusConnection::disconnectFromBus(QStringLiteral("playing"));
    }

    void testWindowIsTrackedAndCommanded()
    {
        QSignalSpy changes(extension, &OrgOsmundaPavoExtensionInterface::dataChanged);
        startWindow();
        QVERIFY(waitForChange(changes, QStringLiteral("currentApp")));
        QCOMPARE(answer(extension->currentApp()), WindowApp);
        QVERIFY(ids(jsonArray(answer(extension->runningApps()))).contains(WindowApp));

        extension->appCommand(WindowApp, QStringLiteral("toggleMinimize"));
        QVERIFY(waitForChange(changes, QStringLiteral("currentApp")));
        QCOMPARE(answer(extension->currentApp()), QString());
        extension->appCommand(WindowApp, QStringLiteral("activate"));
        QVERIFY(waitForChange(changes, QStringLiteral("currentApp")));
        QCOMPARE(answer(extension->currentApp()), WindowApp);

        extension->appCommand(WindowApp, QStringLiteral("toggleMaximize"));
        QVERIFY(waitForWindowLine(QRegularExpression(QStringLiteral("^state 1 0$"))));
        extension->appCommand(WindowApp, QStringLiteral("toggleFullscreen"));
        QVERIFY(waitForWindowLine(QRegularExpression(QStringLiteral("^state \\d 1$"))));
        extension->appCommand(WindowApp, QStringLiteral("toggleFullscreen"));
        QVERIFY(waitForWindowLine(QRegularExpression(QStringLiteral("^state \\d 0$"))));

        QVERIFY(fails(extension->appCommand(QStringLiteral("nothing.desktop"), QStringLiteral("activate"))));
        QVERIFY(fails(extension->appCommand(WindowApp, QStringLiteral("hasOwnProperty"))));
    }

    void keysAndTextReachTheFocusedWindow()
    {
        extension->performText(QStringLiteral("Pavo 1"));
        QVERIFY(waitForWindowLine(QRegularExpression(QStringLiteral("^text Pavo 1$"))));
        extension->performShortcut(QStringLiteral("ctrl+a"));
        extension->performShortcut(QStringLiteral("BackSpace"));
        QVERIFY(waitForWindowLine(QRegularExpression(QStringLiteral("^text$"))));
        extension->performShortcut(QStringLiteral("shift+x"));
        extension->performShortcut(QStringLiteral("space"));
        extension->performShortcut(QStringLiteral("+"));
        QVERIFY(waitForWindowLine(QRegularExpression(QStringLiteral("^text X \\+$"))));
        QCOMPARE(focusedElement(WindowApp), QStringList({"text", "", "X +"}));
        QCOMPARE(focusedElement(QStringLiteral("nothing.desktop")), QStringList({"", "", ""}));
        extension->setFocusedElementValue(QStringLiteral("Pavo"));
        QVERIFY(waitForWindowLine(QRegularExpression(QStringLiteral("^text Pavo$"))));
        for (const char* shortcut : {"", "ctrl+", "ctrl+nokey", "hyper+a"})
            QVERIFY2(fails(extension->performShortcut(QLatin1String(shortcut))), shortcut);
    }

    void closingTheWindowIsReported()
    {
        QSignalSpy changes(extension, &OrgOsmundaPavoExtensionInterface::dataChanged);
        extension->appCommand(WindowApp, QStringLiteral("close"));
        QVERIFY(window.waitForFinished(10000));
        QVERIFY(waitForChange(changes, QStringLiteral("runningApps")));
        QVERIFY(!ids(jsonArray(answer(extension->runningApps()))).contains(WindowApp));
    }

    // Disabled, the extension leaves no object and no handler behind: a window that opens then is
    // announced by no one. Enabled again, it finds the window.
    void disableUnexportsAndEnableRestores()
    {
        QVERIFY(shell.setExtensionEnabled(Uuid, false));
        QVERIFY(shell.waitForExtensionState(Uuid, 2));
        QVERIFY(fails(extension->invokeString(QStringLiteral("version"))));
        QVERIFY(shell.sync());
        QSignalSpy changes(extension, &OrgOsmundaPavoExtensionInterface::dataChanged);
        startWindow();
        QVERIFY(waitForWindowLine(QRegularExpression(QStringLiteral("^state"))));
        QVERIFY(shell.sync());
        QCOMPARE(changes.count(), 0);

        QVERIFY(shell.setExtensionEnabled(Uuid, true));
        QVERIFY(shell.waitForExtensionState(Uuid, 1));
        // The shell may only now take the window for the application's.
        if (!ids(jsonArray(answer(extension->runningApps()))).contains(WindowApp)) {
            QVERIFY(waitForChange(changes, QStringLiteral("runningApps")));
            QVERIFY(ids(jsonArray(answer(extension->runningApps()))).contains(WindowApp));
        }
        extension->appCommand(WindowApp, QStringLiteral("close"));
        QVERIFY(window.waitForFinished(10000));
    }

    // An exception in one of the extension's handlers reaches no caller, only the shell's log.
    void cleanupTestCase()
    {
        const QString log = QString::fromUtf8(fileContent(shell.logFile()));
        QVERIFY2(!log.contains(QLatin1String("pavo@osmunda.org/extension.js")), qPrintable(log));
    }
};

QTEST_GUILESS_MAIN(TestShellExtension)
#include "testshellextension.moc"

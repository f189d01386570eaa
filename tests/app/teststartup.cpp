// The built program, started as a user would start it: on an X display, with a session bus that
// has the shell extension's stand-in and a panel that shows tray icons over D-Bus.
#include "server/protocol.h"
#include "tests/support/standingnomeextensions.h"
#include "tests/support/statusnotifierwatcher.h"
#include "tests/support/testclient.h"
#include "tests/support/testenvironment.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QSettings>
#include <QtTest>

class TestStartup : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    StandInGnomeExtensions gnomeExtensions{environment.home()};
    StatusNotifierWatcher panel;
    QProcess display;
    QProcess desktop;
    QProcess program;
    QString displayName;

private slots:
    void initTestCase()
    {
        QVERIFY(panel.registerOn(QDBusConnection::sessionBus()));
        display.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1024x768x24"});
        QVERIFY(display.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(display.canReadLine(), 10000);
        displayName = ':' + QString::fromLatin1(display.readLine().trimmed());

        desktop.start(STANDIN_PATH, QStringList());
        QVERIFY(desktop.waitForStarted());
        QTRY_VERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered("org.gnome.Shell"));
    }

    void cleanupTestCase()
    {
        for (QProcess* process : {&program, &desktop, &display}) {
            process->terminate();
            process->waitForFinished();
        }
    }

    // On a German desktop, where the program finds its translations beside itself in the build tree:
    // its tray menu, a device paired through the translated prompt, and Quit. (The first-run suite
    // has the paired device come back and list the desktop's applications.)
    void pairAndQuitInGerman()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", displayName);
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.remove("LC_ALL");
        env.remove("LC_MESSAGES");
        env.insert("LANGUAGE", "de");
        env.insert("LANG", "de_DE.UTF-8");
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(PROGRAM_PATH, QStringList());
        QVERIFY(program.waitForStarted());
        // The program writes down the port it listens on.
        QTRY_VERIFY_WITH_TIMEOUT(QSettings().contains("lastUsedPort"), 20000);
        const quint16 port = quint16(QSettings().value("lastUsedPort").toUInt());
        QVERIFY(port != 0);
        QTRY_COMPARE_WITH_TIMEOUT(panel.registeredItems().size(), 1, 20000);
        const QString item = panel.registeredItems().first();
        const QStringList german{"Keine Clients verbunden", "Nach Updates suchen...", "Einstellungen...",
                                 "Über Pavo Server", "Beenden"};
        QTRY_COMPARE(panel.menuLabels(item), german);

        TestClient device;
        QVERIFY(device.open(port));
        QCOMPARE(device.nextJson().value(Key::Method).toString(), Method::Wait);
        // With the script a person uses on a virtual display, the welcome still open under the prompt.
        QProcess answer;
        answer.start("bash", {SOURCE_DIR "/tools/answer-prompt.sh", displayName});
        QVERIFY(answer.waitForFinished(20000));
        QCOMPARE(answer.exitCode(), 0);
        QVERIFY(!device.nextJson().value(Key::Secret).toString().isEmpty());
        QVERIFY(device.nextJson().value(Key::Value).toBool());

        QVERIFY(panel.clickMenuEntry(item, "Beenden"));
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "teststartup.moc"

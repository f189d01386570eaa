// The built program, started as a user would start it: on an X display, with a session bus that
// has the shell extension's stand-in and a panel that shows tray icons over D-Bus.
#include "server/protocol.h"
#include "tests/support/standingnomeextensions.h"
#include "tests/support/statusnotifierwatcher.h"
#include "tests/support/testclient.h"
#include "tests/support/testenvironment.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
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

    void startDisplay();
    void startDesktop();
    QProcessEnvironment programEnvironment() const;
    quint16 listeningPort();
    void answerPrompt();

private slots:
    void initTestCase();
    void cleanupTestCase();
    void pairListAndQuit();
    void menuInGermanAndQuit();
};

void TestStartup::startDisplay()
{
    display.start(QStringLiteral("Xvfb"),
                  {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                   QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                   QStringLiteral("1024x768x24")});
    QVERIFY(display.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(display.canReadLine(), 10000);
    displayName = QLatin1Char(':') + QString::fromLatin1(display.readLine().trimmed());
}

void TestStartup::startDesktop()
{
    const QString icon = environment.home() + QStringLiteral("/app.png");
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QVERIFY(image.save(icon));
    QFile state(environment.home() + QStringLiteral("/desktop.json"));
    QVERIFY(state.open(QIODevice::WriteOnly));
    state.write(
        QJsonDocument(
            QJsonObject{{"installedApps",
                         QJsonArray{QJsonObject{{"id", "editor.desktop"}, {"name", "Editor"}, {"icon", icon}},
                                    QJsonObject{{"id", "terminal.desktop"}, {"name", "Terminal"}, {"icon", icon}}}},
                        {"runningApps", QJsonArray{"terminal.desktop"}}})
            .toJson());
    state.close();
    desktop.start(QStringLiteral(STANDIN_PATH), {state.fileName()});
    QVERIFY(desktop.waitForStarted());
    QTRY_VERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(QStringLiteral("org.gnome.Shell")));
}

QProcessEnvironment TestStartup::programEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), displayName);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return env;
}

// The program writes down the port it listens on.
quint16 TestStartup::listeningPort()
{
    QTest::qWaitFor([] { return QSettings().contains(QStringLiteral("lastUsedPort")); }, 20000);
    return quint16(QSettings().value(QStringLiteral("lastUsedPort")).toUInt());
}

// With the script a person uses on a virtual display.
void TestStartup::answerPrompt()
{
    QProcess script;
    script.start(QStringLiteral("bash"), {QStringLiteral(SOURCE_DIR "/tools/answer-prompt.sh"), displayName});
    QVERIFY(script.waitForFinished(20000));
    QCOMPARE(script.exitCode(), 0);
}

void TestStartup::initTestCase()
{
    // The welcome is for people; here it would only take the keyboard from the prompt.
    QSettings().setValue(QStringLiteral("welcome"), true);
    QVERIFY(panel.registerOn(QDBusConnection::sessionBus()));
    startDisplay();
    startDesktop();
}

void TestStartup::cleanupTestCase()
{
    for (QProcess* process : {&program, &desktop, &display}) {
        process->terminate();
        process->waitForFinished();
    }
}

void TestStartup::pairListAndQuit()
{
    program.setProcessEnvironment(programEnvironment());
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(PROGRAM_PATH), QStringList());
    QVERIFY(program.waitForStarted());
    const quint16 port = listeningPort();
    QVERIFY(port != 0);
    QTRY_COMPARE_WITH_TIMEOUT(panel.registeredItems().size(), 1, 20000);

    TestClient device;
    QVERIFY(device.open(port));
    QCOMPARE(device.nextJson().value(Key::Method).toString(), Method::Wait);
    answerPrompt();
    QVERIFY(!device.nextJson().value(Key::Secret).toString().isEmpty());
    QVERIFY(device.nextJson().value(Key::Value).toBool());
    device.socket.close();
    QVERIFY(device.waitForDisconnected());

    // The same device again, with nothing left over from the first connection.
    TestClient again(device.deviceId);
    again.secret = device.secret;
    QVERIFY(again.reconnect(port));
    again.send(request(Method::InstalledApps));
    // The desktop is read once the first client is in: the list may come empty, then pushed full.
    QStringList ids;
    for (int i = 0; i < 10 && ids.isEmpty(); ++i) {
        for (const QJsonValue& app : again.nextJson().value(Key::Apps).toArray())
            ids.append(app.toObject().value(Key::Id).toString());
    }
    ids.sort();
    QCOMPARE(ids, QStringList({QStringLiteral("editor.desktop"), QStringLiteral("terminal.desktop")}));

    QVERIFY(panel.clickMenuEntry(panel.registeredItems().first(), QStringLiteral("Quit")));
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
}

// A German desktop: the program finds its translations beside itself in the build tree.
void TestStartup::menuInGermanAndQuit()
{
    QProcessEnvironment env = programEnvironment();
    env.remove(QStringLiteral("LC_ALL"));
    env.remove(QStringLiteral("LC_MESSAGES"));
    env.insert(QStringLiteral("LANGUAGE"), QStringLiteral("de"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("de_DE.UTF-8"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    // The panel keeps the items of programs that have gone.
    const int itemsBefore = panel.registeredItems().size();
    program.start(QStringLiteral(PROGRAM_PATH), QStringList());
    QVERIFY(program.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(panel.registeredItems().size(), itemsBefore + 1, 20000);
    const QString item = panel.registeredItems().last();

    const QStringList german{"Keine Clients verbunden", "Nach Updates suchen...", "Einstellungen...",
                             "Über Pavo Server", "Beenden"};
    QTRY_COMPARE(panel.menuLabels(item), german);
    QVERIFY(panel.clickMenuEntry(item, QStringLiteral("Beenden")));
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestStartup)
#include "teststartup.moc"

// The built program on a real headless GNOME Shell 43 that has our extension installed
// system-wide, as the package installs it, with a paired device on loopback.
#include "server/protocol.h"
#include "tests/extension/headlessshell.h"
#include "tests/support/testclient.h"
#include "tests/support/testenvironment.h"

#include <QJsonArray>
#include <QSettings>
#include <QtTest>

#include <functional>

namespace {
const QString Uuid = "pavo@osmunda.org";
const QString WindowApp = "org.osmunda.PavoTestWindow.desktop";
const QString Secret = "PavoEndToEndSecret0123456789abcd";

bool listsWindowApp(const QJsonObject& reply)
{
    for (const QJsonValue& app : reply.value(Key::Apps).toArray()) {
        if (app.toObject().value(Key::Id).toString() == WindowApp)
            return true;
    }
    return false;
}
} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    HeadlessShell shell;
    QProcess soundServer;
    QProcess program;
    QProcess window;
    TestClient device{"end-to-end"};

    // Skips what else the program pushes until a message of the method that passes the check.
    bool receive(const QString& method, const std::function<bool(const QJsonObject&)>& check)
    {
        for (QJsonObject json = device.nextJson(); !json.isEmpty(); json = device.nextJson()) {
            if (json.value(Key::Method).toString() == method && check(json))
                return true;
        }
        return false;
    }

    bool receiveCurrentApp(const QString& id)
    {
        return receive(Method::CurrentApp,
                       [&](const QJsonObject& json) { return json.value(Key::Id).toString() == id; });
    }

private slots:
    void initTestCase()
    {
        // The program lists only applications with an icon it can load.
        const QString icon = environment.saveImage("window.png", Qt::blue);
        environment.writeFile("data/applications/" + WindowApp,
                              "[Desktop Entry]\nType=Application\nName=Pavo Test Window\nIcon=" + icon.toUtf8() +
                                  "\nExec=/usr/bin/python3 " TEST_WINDOW "\n");
        const QString prefix = environment.home() + "/prefix";
        QCOMPARE(QProcess::execute("cmake", {"--install", EXTENSION_BUILD, "--prefix", prefix}), 0);
        qputenv("XDG_DATA_DIRS", (prefix + "/share:/usr/local/share:/usr/share").toUtf8());
        soundServer.start("pulseaudio", {"--daemonize=no", "-n", "--exit-idle-time=-1", "--load=module-null-sink",
                                         "--load=module-native-protocol-unix"});
        QVERIFY(shell.start({Uuid}));
        QVERIFY2(shell.waitForExtensionState(Uuid, 1), qPrintable("see " + shell.logFile()));

        {
            QSettings settings;
            settings.setValue("welcome", true);
            settings.setValue("au/" + device.deviceId, Secret);
        }
        device.secret = Secret;
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(PROGRAM_PATH, QStringList());
        QVERIFY(program.waitForStarted());
    }

    void cleanupTestCase()
    {
        for (QProcess* process : {&window, &program, &soundServer}) {
            process->terminate();
            process->waitForFinished();
        }
    }

    void pairedDeviceDrivesTheDesktop()
    {
        // Its web service is out of reach from this namespace: the program comes up all the same.
        QTRY_VERIFY_WITH_TIMEOUT(QSettings().contains("lastUsedPort"), 30000);
        QVERIFY(device.reconnect(quint16(QSettings().value("lastUsedPort").toUInt())));
        device.send(request(Method::InstalledApps));
        // The desktop is read once the first client is in: the list may come empty, then pushed full.
        QVERIFY(receive(Method::InstalledApps, listsWindowApp));

        shell.launch(window, "/usr/bin/python3", {TEST_WINDOW});
        QVERIFY(receiveCurrentApp(WindowApp));
        device.send(request(Method::AppMinimize, {{Key::Id, WindowApp}}));
        QVERIFY(receiveCurrentApp(QString()));
        device.send(request(Method::AppActivate, {{Key::Id, WindowApp}}));
        QVERIFY(receiveCurrentApp(WindowApp));

        device.send(request(Method::Volume, {{Key::Value, 40}}));
        QVERIFY(receive(Method::Volume, [](const QJsonObject& json) { return json.value(Key::Value) == 40; }));
        device.send(request(Method::Volume, {{Key::Value, 70}}));
        QVERIFY(receive(Method::Volume, [](const QJsonObject& json) { return json.value(Key::Value) == 70; }));
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "testendtoend.moc"

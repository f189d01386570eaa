// The shell extension under the program: from the extension's "dataChanged" to a paired device
// receiving the push, over 100 volume changes on a null sink, against one query to the extension
// on the same bus measured in the same run; and the shell's resident memory with the extension
// answering 1 000 queries and without it. A real headless GNOME Shell 43 with the extension
// installed system-wide; run it on a bus of its own, in a network namespace:
//   bash tests/support/with-avahi.sh dbus-run-session -- build/bench/bench-extension

#include "bench/residentmemory.h"
#include "extensioninterface.h"
#include "server/protocol.h"
#include "tests/extension/headlessshell.h"
#include "tests/support/testclient.h"
#include "tests/support/testenvironment.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTextStream>
#include <QtTest>

#include <algorithm>
#include <functional>

namespace {
const QString Uuid = QStringLiteral("pavo@osmunda.org");
const QString Secret = QStringLiteral("PavoBenchmarkSecret0123456789abc");
constexpr int Changes = 100;
constexpr int Warmup = 5; // the first change takes the cold paths: about 40 ms
constexpr int Queries = 1000;

double percentileMs(QVector<qint64> nanoseconds, double p)
{
    std::sort(nanoseconds.begin(), nanoseconds.end());
    return nanoseconds.at(std::min(int(nanoseconds.size() * p), nanoseconds.size() - 1)) / 1e6;
}

void check(bool condition, const char* what)
{
    if (!condition)
        qFatal("Cannot %s", what);
}

// Sets the volume alternately to two levels and times each push against the signal behind it.
QVector<qint64> pushLatencies(TestClient& device, OrgOsmundaPavoExtensionInterface& extension)
{
    QElapsedTimer clock;
    clock.start();
    qint64 signalledAt = 0, arrivedAt = 0;
    QObject::connect(&extension, &OrgOsmundaPavoExtensionInterface::dataChanged, [&](const QString& query) {
        if (query == QLatin1String("volumeLevel"))
            signalledAt = clock.nsecsElapsed();
    });
    QObject::connect(&device, &TestClient::messageReceived, [&] { arrivedAt = clock.nsecsElapsed(); });
    QVector<qint64> latencies;
    for (int i = -Warmup; i < Changes; ++i) {
        const int level = i % 2 ? 30 : 60;
        device.send(request(Method::Volume, {{Key::Value, level}}));
        QJsonObject push;
        do
            push = device.nextJson();
        while (!push.isEmpty() && !(push.value(Key::Method) == Method::Volume && push.value(Key::Value) == level));
        check(!push.isEmpty(), "see the volume pushed");
        if (i >= 0)
            latencies.append(arrivedAt - signalledAt);
    }
    return latencies;
}

QVector<qint64> queryLatencies(OrgOsmundaPavoExtensionInterface& extension)
{
    QVector<qint64> latencies;
    QElapsedTimer clock;
    for (int i = 0; i < Changes; ++i) {
        clock.start();
        extension.volumeLevel().waitForFinished();
        latencies.append(clock.nsecsElapsed());
    }
    return latencies;
}

// Every query the program makes, in turn.
void query(OrgOsmundaPavoExtensionInterface& extension, int times)
{
    for (int i = 0; i < times; ++i) {
        const std::function<QDBusPendingCall()> calls[] = {
            [&] { return extension.installedApps(); },
            [&] { return extension.runningApps(); },
            [&] { return extension.currentApp(); },
            [&] { return extension.volumeLevel(); },
            [&] { return extension.volumeMute(); },
            [&] { return extension.unsupportedFeatures(); },
            [&] { return extension.screenLocked(); },
            [&] { return extension.brightness(); },
            [&] { return extension.focusedElement(QStringLiteral("absent.desktop")); },
            [&] { return extension.invokeString("version"); }};
        calls[i % std::size(calls)]().waitForFinished();
    }
}

// After a full collection, so that garbage the shell has not yet collected is not counted.
qint64 collectedResidentKiB(const HeadlessShell& shell)
{
    QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
        QStringLiteral("org.osmunda.PavoTest.ShellReady"), QStringLiteral("/org/osmunda/PavoTest"),
        QStringLiteral("org.osmunda.PavoTest"), QStringLiteral("CollectGarbage")));
    return residentKiB(QString::number(shell.processId()));
}

bool startProgram(QProcess& program, TestClient& device)
{
    {
        QSettings settings;
        settings.setValue(QStringLiteral("welcome"), true);
        settings.setValue(QStringLiteral("au/") + device.deviceId, Secret);
    }
    device.secret = Secret;
    program.start(QStringLiteral(PROGRAM_PATH), QStringList());
    // The program writes down its port once it listens.
    return QTest::qWaitFor([] { return QSettings().contains(QStringLiteral("lastUsedPort")); }, 30000) &&
           device.reconnect(quint16(QSettings().value(QStringLiteral("lastUsedPort")).toUInt()));
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TestEnvironment environment;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString prefix = environment.home() + QStringLiteral("/prefix");
    QProcess install;
    install.setStandardOutputFile(QProcess::nullDevice());
    install.start(QStringLiteral("cmake"),
                  {QStringLiteral("--install"), QStringLiteral(EXTENSION_BUILD), QStringLiteral("--prefix"), prefix});
    check(install.waitForFinished() && install.exitCode() == 0, "install the extension");
    qputenv("XDG_DATA_DIRS", (prefix + QStringLiteral("/share:/usr/local/share:/usr/share")).toUtf8());
    QProcess soundServer;
    soundServer.start(QStringLiteral("pulseaudio"),
                      {QStringLiteral("--daemonize=no"), QStringLiteral("-n"), QStringLiteral("--exit-idle-time=-1"),
                       QStringLiteral("--load=module-null-sink"),
                       QStringLiteral("--load=module-native-protocol-unix")});
    HeadlessShell shell;
    check(shell.start({Uuid}) && shell.waitForExtensionState(Uuid, 1), "start the shell");
    OrgOsmundaPavoExtensionInterface extension(QStringLiteral("org.gnome.Shell"),
                                               QStringLiteral("/org/osmunda/Pavo/Extension"),
                                               QDBusConnection::sessionBus());

    QProcess program;
    TestClient device(QStringLiteral("bench-device"));
    check(startProgram(program, device), "connect a paired device");
    const QVector<qint64> pushes = pushLatencies(device, extension);
    const QVector<qint64> baseline = queryLatencies(extension);
    device.leave();
    program.terminate();
    program.waitForFinished();

    // The shell without the extension, then with it answering the queries a busy device causes.
    check(shell.setExtensionEnabled(Uuid, false) && shell.waitForExtensionState(Uuid, 2), "disable the extension");
    const qint64 without = collectedResidentKiB(shell);
    check(shell.setExtensionEnabled(Uuid, true) && shell.waitForExtensionState(Uuid, 1), "enable the extension");
    // A first round grows the shell's heaps to their working size; the second shows what stays.
    query(extension, Queries);
    const qint64 warm = collectedResidentKiB(shell);
    query(extension, Queries);
    const qint64 after = collectedResidentKiB(shell);
    soundServer.terminate();
    soundServer.waitForFinished();

    QTextStream out(stdout);
    out << "push.volume.median: " << percentileMs(pushes, 0.5) << " ms\n";
    out << "push.volume.p99: " << percentileMs(pushes, 0.99) << " ms\n";
    out << "query.volumeLevel.median: " << percentileMs(baseline, 0.5) << " ms\n";
    out << "query.volumeLevel.p99: " << percentileMs(baseline, 0.99) << " ms\n";
    out << "shell.resident.without_extension: " << without << " KiB\n";
    out << "shell.resident.with_extension: " << warm << " KiB\n";
    out << "shell.resident.after_1000_queries: " << after << " KiB\n";
    out << "shell.resident.query_growth: " << after - warm << " KiB\n";
    out << "shell.resident.extension_cost: " << after - without << " KiB\n";
    out << "push.volume.median.ratio: " << percentileMs(pushes, 0.5) / percentileMs(baseline, 0.5) << "\n";
    return 0;
}

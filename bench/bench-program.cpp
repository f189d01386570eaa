// The program as a person runs it: time from start to listening, and resident memory when idle
// and with 10 connected devices, against the least any Qt tray program with a WebSocket server
// costs (this program started with --baseline), measured in the same run. Run it on a bus of its
// own, in a network namespace, so that nothing it asks of the web service leaves the machine:
//   bash tests/support/with-avahi.sh dbus-run-session -- build/bench/bench-program

#include "bench/residentmemory.h"
#include "tests/support/testclient.h"
#include "tests/support/testenvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextStream>
#include <QWebSocketServer>
#include <QtTest>

#include <memory>
#include <vector>

namespace {
constexpr int Devices = 10;
constexpr int IdleMs = 3000;

struct Figures
{
    qint64 startMs = 0;
    qint64 idleKiB = 0;
    qint64 connectedKiB = 0;
};

// The program keeps its last port only when it lies in the dynamic range.
quint16 freePort()
{
    QTcpServer probe;
    for (quint16 port = 49152; !probe.listen(QHostAddress::Any, port); ++port) {
    }
    return probe.serverPort();
}

bool accepts(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(100);
}

QString deviceId(int i)
{
    return QStringLiteral("bench-device-%1").arg(i);
}

QString secretOf(int i)
{
    return QStringLiteral("benchsecret%1benchsecret%1benchsecret").arg(i).left(32);
}

// Starts the program, waits for its port, lets it settle, then connects the devices.
Figures measure(const QString& program, const QStringList& arguments, quint16 port, bool paired)
{
    Figures figures;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    process.waitForStarted();
    if (!QTest::qWaitFor([port] { return accepts(port); }, 30000))
        qWarning("%s never listened on port %d", qPrintable(program), port);
    figures.startMs = clock.elapsed();
    QTest::qWait(IdleMs);
    figures.idleKiB = residentKiB(QString::number(process.processId()));

    std::vector<std::unique_ptr<TestClient>> clients;
    for (int i = 0; i < Devices; ++i) {
        clients.push_back(std::make_unique<TestClient>(deviceId(i)));
        clients.back()->secret = secretOf(i);
        if (paired ? !clients.back()->reconnect(port) : !clients.back()->open(port))
            qWarning("Device %d was not admitted", i);
    }
    QTest::qWait(IdleMs);
    figures.connectedKiB = residentKiB(QString::number(process.processId()));
    clients.clear();
    process.terminate();
    process.waitForFinished();
    return figures;
}

// The floor: a tray icon and a listening WebSocket server, nothing else.
int runBaseline(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QSystemTrayIcon tray;
    tray.show();
    QWebSocketServer server(QStringLiteral("baseline"), QWebSocketServer::NonSecureMode);
    QList<QWebSocket*> connections;
    QObject::connect(&server, &QWebSocketServer::newConnection,
                     [&] { connections.append(server.nextPendingConnection()); });
    server.listen(QHostAddress::Any, quint16(QString::fromLatin1(argv[2]).toUInt()));
    return app.exec();
}

void print(QTextStream& out, const char* name, const Figures& figures)
{
    out << name << ".start: " << figures.startMs << " ms\n";
    out << name << ".rss.idle: " << figures.idleKiB / 1024.0 << " MiB\n";
    out << name << ".rss.connected: " << figures.connectedKiB / 1024.0 << " MiB\n";
}
} // namespace

int main(int argc, char* argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--baseline") == 0)
        return runBaseline(argc, argv);

    QCoreApplication app(argc, argv);
    TestEnvironment environment;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QSettings settings;
    settings.setValue(QStringLiteral("welcome"), true);
    for (int i = 0; i < Devices; ++i)
        settings.setValue(QStringLiteral("au/") + deviceId(i), secretOf(i));
    const quint16 port = freePort();
    settings.setValue(QStringLiteral("lastUsedPort"), port);
    settings.sync();

    QProcess desktop;
    desktop.start(QStringLiteral(STANDIN_PATH), QStringList());
    desktop.waitForStarted();

    QTextStream out(stdout);
    const Figures baseline = measure(QCoreApplication::applicationFilePath(),
                                     {QStringLiteral("--baseline"), QString::number(port)}, port, false);
    print(out, "baseline", baseline);
    const Figures program = measure(QStringLiteral(PROGRAM_PATH), QStringList(), port, true);
    print(out, "program", program);
    out << "program.rss.idle_goal: 40 MiB\n";
    out << "program.rss.idle.ratio: " << double(program.idleKiB) / baseline.idleKiB << "\n";
    desktop.terminate();
    desktop.waitForFinished();
    return 0;
}

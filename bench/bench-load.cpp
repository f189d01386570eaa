// Load on the real server over loopback: ten paired devices keep a steady stream of encrypted
// requests going while 190 others connect without pairing, get challenged and stay silent, or
// come without an id, and disconnect again, 10 000 times in all. Prints what the paired devices
// see and the resident memory before, during and after. The strangers run on a thread of their
// own, as they would on other machines: on the server's thread their own handshakes would make
// most of the admitted devices' wait.

#include "bench/residentmemory.h"
#include "server/core.h"
#include "server/protocol.h"
#include "server/server.h"
#include "tests/support/testclient.h"
#include "tests/support/testcore.h"
#include "tests/support/testenvironment.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <QUrlQuery>

#include <algorithm>
#include <atomic>
#include <malloc.h>
#include <memory>
#include <vector>

namespace {
constexpr int PairedDevices = 10;
constexpr int Strangers = 190;
constexpr int Cycles = 10000;
constexpr int QuietRequests = 5000;
const QString SilentDevice = QStringLiteral("bench-silent");

// Bytes the program holds on the heap: unlike resident memory, free pages the allocator keeps in
// its arenas (one per thread) don't count, so growth here is memory still in use.
qint64 heapInUseKiB()
{
    return qint64(mallinfo2().uordblks) / 1024;
}

// Freed memory the allocator still holds is not a leak: hand it back before the reading.
qint64 trimmedResidentKiB()
{
    malloc_trim(0);
    return residentKiB();
}

void waitFor(const std::function<bool()>& done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
}

// The paired devices ask for the volume one request at a time each, for as long as it runs.
class RequestStream
{
public:
    explicit RequestStream(Server* server)
    {
        for (int i = 0; i < PairedDevices; ++i) {
            auto device = std::make_unique<TestClient>(QStringLiteral("bench-paired-%1").arg(i));
            if (!device->pair(*server) || !device->reconnect(server->port()))
                qFatal("Cannot connect a paired device");
            QObject::disconnect(&device->socket, &QWebSocket::binaryMessageReceived, device.get(), nullptr);
            devices.push_back(std::move(device));
        }
        clocks.resize(PairedDevices);
    }

    // Runs until `until` says stop; returns the latencies in nanoseconds.
    std::vector<qint64> run(const std::function<bool()>& until)
    {
        std::vector<qint64> latencies;
        std::vector<QMetaObject::Connection> connections;
        int running = PairedDevices;
        for (int i = 0; i < PairedDevices; ++i) {
            connections.push_back(QObject::connect(&devices[i]->socket, &QWebSocket::binaryMessageReceived, [&, i] {
                latencies.push_back(clocks[i].nsecsElapsed());
                if (until())
                    --running;
                else
                    request(i);
            }));
            request(i);
        }
        waitFor([&] { return running == 0; });
        for (const auto& connection : connections)
            QObject::disconnect(connection);
        return latencies;
    }

private:
    void request(int i)
    {
        static const QByteArray json =
            QJsonDocument(QJsonObject{{Key::Method, Method::Volume}}).toJson(QJsonDocument::Compact);
        clocks[i].start();
        devices[i]->socket.sendBinaryMessage(cipher.encrypt(json, devices[i]->key));
    }

    std::vector<std::unique_ptr<TestClient>> devices;
    std::vector<QElapsedTimer> clocks;
    SessionCipher cipher;
};

// One misbehaving peer: connects again as soon as it is gone, until the cycles are used up.
// Every nineteenth holds on for two seconds; the rest give up after a few milliseconds.
class Stranger : public QObject
{
public:
    enum Kind { Unknown, Challenged, Anonymous };

    Stranger(quint16 port, int index, std::atomic<int>* cycles) : port(port), index(index), cycles(cycles)
    {
        connect(&socket, &QWebSocket::connected, this, [this] {
            const int holdMs = this->index % 19 == 0 ? 2000 : 1 + this->index % 20;
            // The server may have turned this connection away already and a new one be open.
            QTimer::singleShot(holdMs, &socket, [this, attempt = attempts] {
                if (attempt == attempts)
                    socket.close();
            });
        });
        connect(&socket, &QWebSocket::disconnected, this, [this] {
            if (++*this->cycles < Cycles)
                QTimer::singleShot(0, this, &Stranger::open);
            else
                finished = true;
        });
    }

    void open()
    {
        ++attempts;
        QUrlQuery query;
        const Kind kind = Kind(index % 3);
        if (kind == Unknown)
            query.addQueryItem(Key::Id, QStringLiteral("bench-stranger-%1").arg(index));
        else if (kind == Challenged)
            query.addQueryItem(Key::Id, SilentDevice);
        QUrl url(QStringLiteral("ws://127.0.0.1:%1/").arg(port));
        url.setQuery(query);
        socket.open(url);
    }

    std::atomic<bool> finished{false};

private:
    QWebSocket socket{QString(), QWebSocketProtocol::VersionLatest, this};
    const quint16 port;
    const int index;
    std::atomic<int>* const cycles;
    int attempts = 0;
};

qint64 percentile(std::vector<qint64> values, double p)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[std::min(size_t(values.size() * p), values.size() - 1)];
}
} // namespace

int main(int argc, char** argv)
{
    // A benchmark must not inhibit the real session's screen saver nor publish on the network.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system_bus_socket");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TestEnvironment environment;
    QGuiApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QTextStream out(stdout);

    if (!startTestCore())
        qFatal("The core did not start");
    Server* server = Core::instance()->server();
    TestClient silent(SilentDevice);
    if (!silent.pair(*server))
        qFatal("Cannot pair the silent device");
    silent.socket.close();
    RequestStream stream(server);

    int sent = 0;
    const std::vector<qint64> quiet = stream.run([&] { return ++sent >= QuietRequests; });
    const qint64 heapBefore = heapInUseKiB();
    const qint64 before = trimmedResidentKiB();

    std::atomic<int> cycles{0};
    std::vector<std::unique_ptr<Stranger>> strangers;
    QThread worker;
    worker.start();
    for (int i = 0; i < Strangers; ++i) {
        strangers.push_back(std::make_unique<Stranger>(server->port(), i, &cycles));
        strangers.back()->moveToThread(&worker);
        QMetaObject::invokeMethod(strangers.back().get(), &Stranger::open, Qt::QueuedConnection);
    }
    qint64 during = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { during = std::max(during, residentKiB()); });
    sampler.start(100);
    QElapsedTimer clock;
    clock.start();
    const std::vector<qint64> loaded = stream.run([&] { return cycles >= Cycles; });
    const double seconds = clock.nsecsElapsed() / 1e9;
    sampler.stop();
    waitFor(
        [&] { return std::all_of(strangers.begin(), strangers.end(), [](auto& s) { return s->finished.load(); }); });
    worker.quit();
    worker.wait();
    strangers.clear();
    waitFor([&] { return server->connections().size() == PairedDevices; });
    QTimer::singleShot(500, &app, &QCoreApplication::quit);
    app.exec(); // deferred deletes of the closed connections
    const qint64 after = trimmedResidentKiB();
    const qint64 heapAfter = heapInUseKiB();

    out << "load.cycles: " << cycles << " connections\n";
    out << "load.cycles_per_second: " << qRound(cycles / seconds) << " connections/s\n";
    out << "load.requests_per_second: " << qRound(loaded.size() / seconds) << " requests/s\n";
    out << "quiet.p99: " << percentile(quiet, 0.99) / 1000.0 << " us\n";
    out << "load.median: " << percentile(loaded, 0.5) / 1000.0 << " us\n";
    out << "load.p99: " << percentile(loaded, 0.99) / 1000.0 << " us\n";
    out << "heap.before: " << heapBefore << " KiB\n";
    out << "heap.after: " << heapAfter << " KiB\n";
    out << "heap.after_before.ratio: " << double(heapAfter) / heapBefore << "\n";
    out << "rss.before: " << before << " KiB\n";
    out << "rss.during: " << during << " KiB\n";
    out << "rss.after: " << after << " KiB\n";
    out << "rss.after_before.ratio: " << double(after) / before << "\n";
    return 0;
}

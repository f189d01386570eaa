// The directory listing reply against `ls -1 --group-directories-first` on the same directories,
// in the same run and under the same locale. The listing is timed from the request to the framed,
// encrypted reply handed to the socket of a real loopback connection: what the server spends.

#include "handlers/authenticationhandler.h"
#include "handlers/filehandlers.h"
#include "server/protocol.h"
#include "server/server.h"
#include "tests/support/testclient.h"
#include "tests/support/testenvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <locale.h>

namespace {
constexpr int Rounds = 9;
// A language's collation on both sides when the machine has one; C.UTF-8 compares code points.
const char* chooseLocale()
{
    locale_t english = newlocale(LC_ALL_MASK, "en_US.UTF-8", locale_t(0));
    if (!english)
        return "C.UTF-8";
    freelocale(english);
    return "en_US.UTF-8";
}
const char* const Locale = chooseLocale();

// Every tenth entry a directory; names in mixed case, in no particular order on disk.
void populate(const QString& path, int count)
{
    static const char* const stems[] = {"alpha", "Beta", "gamma", "Delta", "épsilon", "Zeta"};
    QDir directory(path);
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("%1_%2").arg(QString::fromUtf8(stems[i % 6])).arg(i * 7919 % 1000003);
        if (i % 10 == 0)
            directory.mkdir(name);
        else
            QFile(directory.filePath(name + QStringLiteral(".txt"))).open(QIODevice::WriteOnly);
    }
}

qint64 lsNs(const QString& path)
{
    QElapsedTimer clock;
    clock.start();
    QProcess ls;
    ls.start(QStringLiteral("ls"), {QStringLiteral("-1"), QStringLiteral("--group-directories-first"), path});
    ls.waitForFinished(-1);
    const qint64 elapsed = clock.nsecsElapsed();
    if (ls.readAllStandardOutput().isEmpty())
        qFatal("ls listed nothing");
    return elapsed;
}

qint64 listingNs(DirectoryListingHandler& handler, QWebSocket* connection, TestClient& device, const QString& path)
{
    QElapsedTimer clock;
    clock.start();
    handler.handle({{Key::Method, Method::DirectoryListing}, {Key::Path, path}}, connection);
    const qint64 elapsed = clock.nsecsElapsed();
    // The client reads and checks the reply off the clock, so that rounds do not pile up.
    if (device.next().json.value(Key::Files).toArray().isEmpty())
        qFatal("The listing came back empty");
    return elapsed;
}

double medianMs(QVector<qint64> times)
{
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2) / 1e6;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("LC_ALL", Locale); // before the application reads the system locale
    QCoreApplication app(argc, argv);
    TestEnvironment environment;
    QTextStream out(stdout);

    Server server;
    new AuthenticationHandler(&server, Method::Authentication);
    DirectoryListingHandler handler(&server, Method::DirectoryListing);
    TestClient device(QStringLiteral("bench-device"));
    if (!device.pair(server) || !device.reconnect(server.port()))
        qFatal("Cannot connect the benchmark device");

    QVector<double> pavo, ls;
    const QVector<int> sizes = {10000, 100000};
    out << "listing.locale: " << Locale << "\n";
    for (int size : sizes) {
        QTemporaryDir directory;
        populate(directory.path(), size);
        // Alternating rounds share whatever else the machine is doing; the first warms the caches.
        QVector<qint64> pavoTimes, lsTimes;
        for (int round = 0; round <= Rounds; ++round) {
            const qint64 pavoTime = listingNs(handler, server.clients().constFirst(), device, directory.path());
            const qint64 lsTime = lsNs(directory.path());
            if (round > 0) {
                pavoTimes.append(pavoTime);
                lsTimes.append(lsTime);
            }
        }
        pavo.append(medianMs(pavoTimes));
        ls.append(medianMs(lsTimes));
        out << "listing." << size << ".pavo: " << pavo.last() << " ms\n";
        out << "listing." << size << ".ls: " << ls.last() << " ms\n";
    }
    const double nLogN = sizes[1] * std::log(sizes[1]) / (sizes[0] * std::log(sizes[0]));
    out << "listing.growth.pavo: " << pavo[1] / pavo[0] << " x\n";
    out << "listing.growth.ls: " << ls[1] / ls[0] << " x\n";
    out << "listing.growth.nlogn: " << nLogN << " x\n";
    for (int i = 0; i < sizes.size(); ++i)
        out << "listing." << sizes[i] << ".ratio: " << pavo[i] / ls[i] << "\n";
    return 0;
}

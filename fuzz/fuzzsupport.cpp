#include "fuzz/fuzzsupport.h"

#include "http/webservice.h"
#include "tests/support/testenvironment.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

void startFuzzApplication(SessionBus bus)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (bus == SessionBus::None)
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system_bus_socket");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    // A scheme nobody serves fails at once and starts no network thread: such a thread outliving
    // the input loop crashed at exit, while the leak check held the loader's lock.
    setWebServiceBaseUrl("pavo-fuzz://web");
    static int argc = 1;
    static char name[] = "pavo-fuzz";
    static char* argv[] = {name, nullptr};
    // Never destroyed: the offscreen platform leaves its screen behind when the application goes,
    // which the leak check at exit would report on every run.
    new QGuiApplication(argc, argv);
    static TestEnvironment environment;
}

QByteArray inputBytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), int(size));
}

void stopNetworkChecks(QObject* server)
{
    for (QTimer* timer : server->findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly))
        timer->stop();
}

qint64 SlowInputGuard::userCpuMicroseconds()
{
    rusage usage;
    getrusage(RUSAGE_THREAD, &usage);
    return qint64(usage.ru_utime.tv_sec) * 1000000 + usage.ru_utime.tv_usec;
}

SlowInputGuard::~SlowInputGuard()
{
    const qint64 elapsed = (userCpuMicroseconds() - start) / 1000;
    if (elapsed <= LimitMs)
        return;
    std::fprintf(stderr, "==slow input== %lld ms of user CPU time, over the limit of %lld ms\n", elapsed, LimitMs);
    std::abort();
}

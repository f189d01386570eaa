// Cache hit against cache miss for small Gets on a loopback server, and the cost of one lookup.
#include "http/cachedhttp.h"
#include "http/httpreply.h"
#include "http/localcache.h"
#include "tests/support/httptestserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int requests = 1000;
constexpr int lookups = 20000;

QUrl itemUrl(const HttpTestServer& server, int i)
{
    return server.url(QStringLiteral("/item?n=%1").arg(i));
}

// Seconds for one sequential round of requests, each waited for before the next.
double round(CachedHttp& http, const HttpTestServer& server)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < requests; ++i) {
        QEventLoop loop;
        QObject::connect(http.get(itemUrl(server, i)), &HttpReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return clock.nsecsElapsed() / 1e9;
}

double lookupMicroseconds(CachedHttp& http, const HttpTestServer& server)
{
    QList<QByteArray> keys;
    for (int i = 0; i < requests; ++i) {
        HttpRequest request;
        request.url = itemUrl(server, i);
        keys << CachedHttp::key(request);
    }
    qint64 found = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < lookups; ++i)
        found += http.cache().value(keys.at(i % requests)).size();
    const double microseconds = clock.nsecsElapsed() / 1e3 / lookups;
    return found > 0 ? microseconds : -1;
}

} // namespace

int main(int argc, char** argv)
{
    // The cache goes to a throwaway folder, never into the user's own.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toUtf8());
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Corvin Osmunda"));
    QCoreApplication::setApplicationName(QStringLiteral("Pavo Server"));

    HttpTestServer server;
    server.setResponse("/item", HttpTestServer::answer(200, QByteArray(256, 'b')));
    Http plain;
    CachedHttp cached(plain, "bench");

    const double miss = requests / round(cached, server);
    const double hit = requests / round(cached, server);
    std::printf("cache.miss: %.0f requests/s\n", miss);
    std::printf("cache.hit: %.0f requests/s\n", hit);
    std::printf("cache.value: %.2f us\n", lookupMicroseconds(cached, server));
    std::printf("cache.ratio: %.2f\n", hit / miss);
    return 0;
}

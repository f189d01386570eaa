#include "http/cachedhttp.h"
#include "http/localcache.h"
#include "http/webservice.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testenvironment.h"

#include <QDirIterator>
#include <QtTest>

#include <numeric>

class TestCachedHttp : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    HttpTestServer server;
    Http plain;

    static QList<qint64> entrySizes(const LocalCache& cache)
    {
        QList<qint64> sizes;
        QDirIterator it(cache.directory(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            sizes.append(QFileInfo(it.next()).size());
        return sizes;
    }

private slots:
    // Through the shared client, which also tells the web service who asks.
    void secondGetComesFromDiskAfterRequestReturns()
    {
        server.setResponse("/twice", HttpTestServer::answer(200, "body"));
        QCOMPARE(runReply(cachedHttp().get(server.url("/twice"))).body, QByteArray("body"));
        QCOMPARE(server.requests().last().headers.value("user-agent"), userAgent());
        const HttpOutcome second = runReply(cachedHttp().get(server.url("/twice")));
        QCOMPARE(second.body, QByteArray("body"));
        QCOMPARE(server.count("/twice"), 1);

        QCOMPARE(runReply(cachedHttp().get(server.url("/nothing"))).errors, QStringList{"Not Found"});
        // Whoever logs the failure can say why, even when no server answered.
        QCOMPARE(runReply(cachedHttp().get(QUrl("http://127.0.0.1:1/index.json"))).reason, "Connection refused");
    }

    // Overwriting the file in place would keep its old birth time: the refreshed entry would count
    // as expired for ever and every request would go to the network.
    void expiredEntryFallsBackAndIsRefreshed()
    {
        CachedHttp cached(plain, "expired");
        cached.setMaxSeconds(1);
        HttpRequest request;
        request.url = server.url("/e");
        const QUrl& url = request.url;
        server.setResponse("/e", HttpTestServer::answer(200, "old"));
        QCOMPARE(runReply(cached.get(url)).body, QByteArray("old"));
        QTRY_VERIFY_WITH_TIMEOUT(cached.cache().value(CachedHttp::key(request)).isNull(), 3000);

        server.setResponse("/e", HttpTestServer::answer(500, "broken"));
        const HttpOutcome stale = runReply(cached.get(url));
        QCOMPARE(stale.body, QByteArray("old"));
        QCOMPARE(stale.status, 200);
        QVERIFY(stale.errors.isEmpty());
        QCOMPARE(server.count("/e"), 1 + 5);

        server.setResponse("/e", HttpTestServer::answer(200, "new"));
        QCOMPARE(runReply(cached.get(url)).body, QByteArray("new"));
        QCOMPARE(runReply(cached.get(url)).body, QByteArray("new"));
        QCOMPARE(server.count("/e"), 1 + 5 + 1);
    }

    // Base 36 of the digest, in two levels of folders; a Post has no entry, an offset one of its own.
    void entryKeys()
    {
        HttpRequest example;
        example.url = QUrl("http://example.org/x");
        QCOMPARE(LocalCache::relativePath(CachedHttp::key(example)), QStringLiteral("2/p/aiezoi5r9cf"));
        CachedHttp cached(plain, "keys");
        server.setResponse("/post", HttpTestServer::answer(200, "posted"));
        for (int i = 0; i < 2; ++i)
            QCOMPARE(runReply(cached.post(server.url("/post"), "a=1", {})).body, QByteArray("posted"));
        QCOMPARE(server.count("/post"), 2);

        server.enqueue("/o", HttpTestServer::answer(200, "whole"));
        server.enqueue("/o", HttpTestServer::answer(206, "tail"));
        const QUrl url = server.url("/o");
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(runReply(cached.request(url)).body, QByteArray("whole"));
            QCOMPARE(runReply(cached.request(url, QNetworkAccessManager::GetOperation, {}, 3)).body,
                     QByteArray("tail"));
        }
        QCOMPARE(server.count("/o"), 2);
        QCOMPARE(entrySizes(cached.cache()).size(), 2);
    }

    void hundredthInsertExpiresBelowNinetyPercent()
    {
        LocalCache& cache = LocalCache::instance("expiry");
        cache.setMaxSize(10000);
        const QByteArray value(200, 'v');
        for (int i = 0; i < 99; ++i)
            cache.insert(QByteArray::number(i), value);
        QCOMPARE(entrySizes(cache).size(), 99);
        cache.insert("99", value);
        const QList<qint64> sizes = entrySizes(cache);
        const qint64 total = std::accumulate(sizes.cbegin(), sizes.cend(), qint64(0));
        QVERIFY2(total < 9000 && total >= 9000 - 200, QByteArray::number(total));
        QVERIFY(cache.value("0").isNull());
        QCOMPARE(cache.value("99"), value);
    }
};

QTEST_GUILESS_MAIN(TestCachedHttp)
#include "testcachedhttp.moc"

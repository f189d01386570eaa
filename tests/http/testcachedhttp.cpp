#include "http/cachedhttp.h"
#include "http/httpreply.h"
#include "http/localcache.h"
#include "http/webservice.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testenvironment.h"

#include <QDirIterator>
#include <QtTest>

namespace {

struct Result
{
    QByteArray body;
    QString error;
    int status = -1;
};

// Runs one request to its end. Connections are made only after request() has returned, so a
// reply that emitted its signals inside request() would time out here.
Result run(HttpReply* reply)
{
    Result result;
    bool finished = false;
    QObject::connect(reply, &HttpReply::data, [&](const QByteArray& bytes) { result.body = bytes; });
    QObject::connect(reply, &HttpReply::error, [&](const QString& message) { result.error = message; });
    QObject::connect(reply, &HttpReply::finished, [&](HttpReply* last) {
        result.status = last->statusCode();
        finished = true;
    });
    if (!QTest::qWaitFor([&] { return finished; }, 5000))
        qWarning() << "No finished within 5 s";
    return result;
}

// The size of every entry, by path.
QMap<QString, qint64> entries(const LocalCache& cache)
{
    QMap<QString, qint64> files;
    QDirIterator it(cache.directory(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(path, it.fileInfo().size());
    }
    return files;
}

} // namespace

class TestCachedHttp : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    HttpTestServer server;
    Http plain;

private slots:
    void keyIsBase36OfTheDigestInTwoLevels();
    void secondGetComesFromDiskAfterRequestReturns();
    void expiredEntryFallsBackAndIsRefreshed();
    void postIsNotCachedAndOffsetsAreSeparate();
    void hundredthInsertExpiresBelowNinetyPercent();
    void userAgentOnlyOnTheSharedCachedClient();
};

void TestCachedHttp::keyIsBase36OfTheDigestInTwoLevels()
{
    HttpRequest request;
    request.url = QUrl("http://example.org/x");
    QCOMPARE(LocalCache::relativePath(CachedHttp::key(request)), QStringLiteral("2/p/aiezoi5r9cf"));
    request.offset = 10;
    QCOMPARE(LocalCache::relativePath(CachedHttp::key(request)), QStringLiteral("1/s/djo5iz9rq7s"));
}

void TestCachedHttp::secondGetComesFromDiskAfterRequestReturns()
{
    CachedHttp cached(plain, "twice");
    server.setResponse("/twice", HttpTestServer::answer(200, "body"));
    QCOMPARE(run(cached.get(server.url("/twice"))).body, QByteArray("body"));
    const Result second = run(cached.get(server.url("/twice")));
    QCOMPARE(second.body, QByteArray("body"));
    QCOMPARE(second.status, 200);
    QCOMPARE(server.count("/twice"), 1);

    const Result missing = run(cached.get(server.url("/nothing")));
    QCOMPARE(missing.error, QStringLiteral("Not Found"));
    QCOMPARE(missing.status, 404);
}

// Overwriting the file in place would keep its old birth time: the refreshed entry would count
// as expired for ever and every request would go to the network.
void TestCachedHttp::expiredEntryFallsBackAndIsRefreshed()
{
    CachedHttp cached(plain, "expired");
    cached.setMaxSeconds(1);
    const QUrl url = server.url("/e");
    server.setResponse("/e", HttpTestServer::answer(200, "old"));
    QCOMPARE(run(cached.get(url)).body, QByteArray("old"));
    QTRY_VERIFY_WITH_TIMEOUT(cached.cache().value(CachedHttp::key(HttpRequest{url})).isNull(), 3000);

    server.setResponse("/e", HttpTestServer::answer(500, "broken"));
    const Result stale = run(cached.get(url));
    QCOMPARE(stale.body, QByteArray("old"));
    QCOMPARE(stale.status, 200);
    QVERIFY(stale.error.isEmpty());
    QCOMPARE(server.count("/e"), 1 + 5);

    server.setResponse("/e", HttpTestServer::answer(200, "new"));
    QCOMPARE(run(cached.get(url)).body, QByteArray("new"));
    QCOMPARE(run(cached.get(url)).body, QByteArray("new"));
    QCOMPARE(server.count("/e"), 1 + 5 + 1);
}

void TestCachedHttp::postIsNotCachedAndOffsetsAreSeparate()
{
    CachedHttp cached(plain, "keys");
    server.setResponse("/post", HttpTestServer::answer(200, "posted"));
    for (int i = 0; i < 2; ++i)
        QCOMPARE(run(cached.post(server.url("/post"), "a=1", {})).body, QByteArray("posted"));
    QCOMPARE(server.count("/post"), 2);

    server.enqueue("/o", HttpTestServer::answer(200, "whole"));
    server.enqueue("/o", HttpTestServer::answer(206, "tail"));
    const QUrl url = server.url("/o");
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(run(cached.request(url)).body, QByteArray("whole"));
        QCOMPARE(run(cached.request(url, QNetworkAccessManager::GetOperation, {}, 3)).body, QByteArray("tail"));
    }
    QCOMPARE(server.count("/o"), 2);
    QCOMPARE(entries(cached.cache()).size(), 2);
}

void TestCachedHttp::hundredthInsertExpiresBelowNinetyPercent()
{
    LocalCache& cache = LocalCache::instance("expiry");
    cache.setMaxSize(10000);
    const QByteArray value(200, 'v');
    for (int i = 0; i < 99; ++i)
        cache.insert(QByteArray::number(i), value);
    QCOMPARE(entries(cache).size(), 99);
    cache.insert("99", value);
    qint64 total = 0;
    for (qint64 size : entries(cache))
        total += size;
    QVERIFY2(total < 9000 && total >= 9000 - 200, QByteArray::number(total));
    QVERIFY(cache.value("0").isNull());
    QCOMPARE(cache.value("99"), value);
}

void TestCachedHttp::userAgentOnlyOnTheSharedCachedClient()
{
    server.setResponse("/agent", HttpTestServer::answer(200, "a"));
    run(cachedHttp().get(server.url("/agent")));
    run(Http::instance().get(server.url("/agent?plain")));
    QCOMPARE(server.requests().at(server.requests().size() - 2).headers.value("user-agent"), userAgent());
    QVERIFY(server.requests().last().headers.value("user-agent") != userAgent());
}

QTEST_GUILESS_MAIN(TestCachedHttp)
#include "testcachedhttp.moc"

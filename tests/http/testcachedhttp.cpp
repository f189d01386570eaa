#include "http/cachedhttp.h"
#include "http/httpreply.h"
#include "http/localcache.h"
#include "http/vendor.h"
#include "http/webservice.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testenvironment.h"

#include <QDirIterator>
#include <QSignalSpy>
#include <QtTest>

namespace {

struct Result
{
    QByteArray body;
    QString error;
    int status = -1;
    int finished = 0;
};

// Runs one request to its end. Connections are made only after request() has returned, so a
// reply that emitted its signals inside request() would time out here.
Result run(HttpReply* reply)
{
    Result result;
    QObject::connect(reply, &HttpReply::data, [&](const QByteArray& bytes) { result.body = bytes; });
    QObject::connect(reply, &HttpReply::error, [&](const QString& message) { result.error = message; });
    QObject::connect(reply, &HttpReply::finished, [&](HttpReply* last) {
        result.status = last->statusCode();
        ++result.finished;
    });
    if (!QTest::qWaitFor([&] { return result.finished > 0; }, 5000))
        qWarning() << "No finished within 5 s";
    return result;
}

QStringList entries(const LocalCache& cache)
{
    QStringList files;
    QDirIterator it(cache.directory(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

qint64 totalSize(const LocalCache& cache)
{
    qint64 total = 0;
    for (const QString& file : entries(cache))
        total += QFileInfo(file).size();
    return total;
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
    void failureWithoutCopyReportsTheReason();
    void onlyGetIsCached();
    void offsetsUseDifferentEntries();
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
    QVERIFY(LocalCache::instance("http").directory().startsWith(environment.home()));
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
}

// Overwriting the file in place would keep its old birth time: the refreshed entry would count
// as expired for ever and every request would go to the network.
void TestCachedHttp::expiredEntryFallsBackAndIsRefreshed()
{
    CachedHttp cached(plain, "expired");
    cached.setMaxSeconds(1);
    HttpRequest request;
    request.url = server.url("/e");
    server.setResponse("/e", HttpTestServer::answer(200, "old"));
    QCOMPARE(run(cached.request(request)).body, QByteArray("old"));
    QTRY_VERIFY_WITH_TIMEOUT(cached.cache().value(CachedHttp::key(request)).isNull(), 3000);

    server.setResponse("/e", HttpTestServer::answer(500, "broken"));
    const Result stale = run(cached.request(request));
    QCOMPARE(stale.body, QByteArray("old"));
    QCOMPARE(stale.status, 200);
    QVERIFY(stale.error.isEmpty());
    QCOMPARE(server.count("/e"), 1 + 5);

    server.setResponse("/e", HttpTestServer::answer(200, "new"));
    QCOMPARE(run(cached.request(request)).body, QByteArray("new"));
    QCOMPARE(cached.cache().value(CachedHttp::key(request)), QByteArray("new"));
    QCOMPARE(run(cached.request(request)).body, QByteArray("new"));
    QCOMPARE(server.count("/e"), 1 + 5 + 1);
}

void TestCachedHttp::failureWithoutCopyReportsTheReason()
{
    CachedHttp cached(plain, "missing");
    const Result result = run(cached.get(server.url("/nothing")));
    QCOMPARE(result.error, QStringLiteral("Not Found"));
    QCOMPARE(result.status, 404);
    QVERIFY(result.body.isEmpty());
}

void TestCachedHttp::onlyGetIsCached()
{
    CachedHttp cached(plain, "post");
    server.setResponse("/post", HttpTestServer::answer(200, "posted"));
    QCOMPARE(run(cached.post(server.url("/post"), "a=1", {})).body, QByteArray("posted"));
    QCOMPARE(run(cached.post(server.url("/post"), "a=1", {})).body, QByteArray("posted"));
    QCOMPARE(server.count("/post"), 2);
    QVERIFY(entries(cached.cache()).isEmpty());
}

void TestCachedHttp::offsetsUseDifferentEntries()
{
    CachedHttp cached(plain, "offsets");
    server.enqueue("/o", HttpTestServer::answer(200, "whole"));
    server.enqueue("/o", HttpTestServer::answer(206, "tail"));
    const QUrl url = server.url("/o");
    QCOMPARE(run(cached.request(url)).body, QByteArray("whole"));
    QCOMPARE(run(cached.request(url, QNetworkAccessManager::GetOperation, {}, 3)).body, QByteArray("tail"));
    QCOMPARE(run(cached.request(url)).body, QByteArray("whole"));
    QCOMPARE(run(cached.request(url, QNetworkAccessManager::GetOperation, {}, 3)).body, QByteArray("tail"));
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
    QVERIFY(totalSize(cache) < 9000);
    QVERIFY(totalSize(cache) >= 9000 - 200);
    QVERIFY(cache.value("0").isNull());
    QCOMPARE(cache.value("99"), value);
}

void TestCachedHttp::userAgentOnlyOnTheSharedCachedClient()
{
    QCOMPARE(webServiceBaseUrl(), QByteArray(PAVO_PRODUCT_URL "-ws"));
    QCOMPARE(userAgent(), QByteArray("Pavo Server/1.5 ( " PAVO_PRODUCT_URL " )"));
    server.setResponse("/agent", HttpTestServer::answer(200, "a"));
    run(cachedHttp().get(server.url("/agent")));
    run(Http::instance().get(server.url("/agent?plain")));
    QCOMPARE(server.requests().at(server.requests().size() - 2).headers.value("user-agent"), userAgent());
    QVERIFY(server.requests().last().headers.value("user-agent") != userAgent());
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.5"));
    TestCachedHttp test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "testcachedhttp.moc"

#include "http/http.h"
#include "http/httpreply.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testenvironment.h"

#include <QAtomicInt>
#include <QPointer>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

namespace {

// Watches one reply to its end; the reply deletes itself, so only what it emitted is kept.
struct Outcome
{
    explicit Outcome(HttpReply* reply)
        : reply(reply), data(reply, &HttpReply::data), error(reply, &HttpReply::error),
          finished(reply, &HttpReply::finished)
    {
        QObject::connect(reply, &HttpReply::finished, [this](HttpReply* last) { finalUrl = last->url(); });
    }
    bool wait(int milliseconds = 5000) { return finished.count() > 0 || finished.wait(milliseconds); }
    QByteArray body() const { return data.isEmpty() ? QByteArray() : data.first().first().toByteArray(); }
    QString message() const { return error.isEmpty() ? QString() : error.first().first().toString(); }

    QPointer<HttpReply> reply;
    QSignalSpy data;
    QSignalSpy error;
    QSignalSpy finished;
    QUrl finalUrl;
};

HttpTestServer::Response serverError()
{
    return HttpTestServer::answer(503, "busy");
}

} // namespace

class TestHttp : public QObject
{
    Q_OBJECT
    TestEnvironment environment;

private slots:
    void serverErrorsAreRetriedForGetAndHead_data();
    void serverErrorsAreRetriedForGetAndHead();
    void serverErrorsAreNotRetriedForPost();
    void silentServerIsTriedFourTimes();
    void slowTransferIsNotCutOff();
    void notFoundReportsUrlStatusAndReason();
    void rangeHeaderFollowsTheOffset();
    void postDefaultsContentTypeAndLeavesDefaultsAlone();
    void redirectsAreFollowed();
    void unknownOperationAndEmptyUrlStillFinish();
    void eachThreadHasItsOwnManager();
};

void TestHttp::serverErrorsAreRetriedForGetAndHead_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<int>("failures");
    QTest::addColumn<bool>("succeeds");
    for (int operation : {int(QNetworkAccessManager::GetOperation), int(QNetworkAccessManager::HeadOperation)}) {
        const QByteArray name = operation == QNetworkAccessManager::GetOperation ? "get" : "head";
        QTest::newRow(name + " 4 failures") << operation << 4 << true;
        QTest::newRow(name + " 5 failures") << operation << 5 << false;
    }
}

void TestHttp::serverErrorsAreRetriedForGetAndHead()
{
    QFETCH(int, operation);
    QFETCH(int, failures);
    QFETCH(bool, succeeds);
    HttpTestServer server;
    server.enqueue("/r", serverError(), failures);
    server.setResponse("/r", HttpTestServer::answer(200, "fine"));

    Http http;
    Outcome outcome(http.request(server.url("/r"), QNetworkAccessManager::Operation(operation)));
    QVERIFY(outcome.wait());
    QCOMPARE(server.count("/r"), succeeds ? failures + 1 : failures);
    QCOMPARE(outcome.finished.count(), 1);
    QCOMPARE(outcome.data.count(), succeeds ? 1 : 0);
    QCOMPARE(outcome.error.count(), succeeds ? 0 : 1);
    if (operation == QNetworkAccessManager::GetOperation && succeeds)
        QCOMPARE(outcome.body(), QByteArray("fine"));
    QTRY_VERIFY(outcome.reply.isNull());
    QCOMPARE(outcome.finished.count(), 1);
}

void TestHttp::serverErrorsAreNotRetriedForPost()
{
    HttpTestServer server;
    server.setResponse("/p", serverError());
    Http http;
    Outcome outcome(http.post(server.url("/p"), "a=1", {}));
    QVERIFY(outcome.wait());
    QCOMPARE(server.count("/p"), 1);
    QCOMPARE(outcome.error.count(), 1);
}

void TestHttp::silentServerIsTriedFourTimes()
{
    HttpTestServer server;
    HttpTestServer::Response silent;
    silent.silent = true;
    server.setResponse("/s", silent);

    Http http;
    http.setReadTimeout(100);
    QElapsedTimer clock;
    clock.start();
    Outcome outcome(http.get(server.url("/s")));
    QVERIFY(outcome.wait());
    QVERIFY2(clock.elapsed() >= 4 * 95, QByteArray::number(clock.elapsed())); // coarse timers may fire 5% early
    QCOMPARE(server.count("/s"), 4);
    QCOMPARE(outcome.message(), server.url("/s").toString() + " 0 ");
    QCOMPARE(outcome.data.count(), 0);
    QTRY_VERIFY(outcome.reply.isNull());
    QCOMPARE(outcome.finished.count(), 1);

    Outcome post(http.post(server.url("/s"), "x", "text/plain"));
    QVERIFY(post.wait());
    QCOMPARE(server.count("/s"), 5);
}

void TestHttp::slowTransferIsNotCutOff()
{
    HttpTestServer server;
    HttpTestServer::Response slow = HttpTestServer::answer(200, QByteArray(4000, 'x'));
    slow.parts = 4;
    slow.partInterval = 120;
    server.setResponse("/slow", slow);

    Http http;
    http.setReadTimeout(100);
    Outcome outcome(http.get(server.url("/slow")));
    QVERIFY(outcome.wait());
    QCOMPARE(outcome.message(), QString());
    QCOMPARE(outcome.body(), QByteArray(4000, 'x'));
    QCOMPARE(server.count("/slow"), 1);
}

void TestHttp::notFoundReportsUrlStatusAndReason()
{
    HttpTestServer server;
    Http http;
    Outcome outcome(http.get(server.url("/missing?q=1")));
    QVERIFY(outcome.wait());
    QCOMPARE(outcome.message(), server.url("/missing?q=1").toString() + " 404 Not Found");
    QCOMPARE(outcome.data.count(), 0);
    QCOMPARE(server.count("/missing"), 1);
}

void TestHttp::rangeHeaderFollowsTheOffset()
{
    HttpTestServer server;
    server.setResponse("/f", HttpTestServer::answer(206, "tail"));
    Http http;
    Outcome ranged(http.request(server.url("/f"), QNetworkAccessManager::GetOperation, {}, 1024));
    QVERIFY(ranged.wait());
    Outcome whole(http.get(server.url("/f")));
    QVERIFY(whole.wait());
    QCOMPARE(server.requests().at(0).headers.value("range"), QByteArray("bytes=1024-"));
    QVERIFY(!server.requests().at(1).headers.contains("range"));
}

void TestHttp::postDefaultsContentTypeAndLeavesDefaultsAlone()
{
    HttpTestServer server;
    server.setResponse("/p", HttpTestServer::answer(200, "ok"));
    Http http;
    http.addDefaultHeader("X-Test", "1");
    const Http::Headers before = http.defaultHeaders();

    Outcome post(http.post(server.url("/p"), "a=1&b=2", {}));
    QVERIFY(post.wait());
    Outcome get(http.get(server.url("/p")));
    QVERIFY(get.wait());

    const HttpTestServer::Request sent = server.requests().at(0);
    QCOMPARE(sent.method, QByteArray("POST"));
    QCOMPARE(sent.body, QByteArray("a=1&b=2"));
    QCOMPARE(sent.headers.value("content-type"), QByteArray("application/x-www-form-urlencoded"));
    QCOMPARE(sent.headers.value("accept-charset"), QByteArray("utf-8"));
    QCOMPARE(sent.headers.value("x-test"), QByteArray("1"));
    const HttpTestServer::Request later = server.requests().at(1);
    QVERIFY(!later.headers.contains("content-type"));
    QCOMPARE(later.headers.value("x-test"), QByteArray("1"));
    QCOMPARE(http.defaultHeaders(), before);
}

void TestHttp::redirectsAreFollowed()
{
    HttpTestServer server;
    HttpTestServer::Response moved = HttpTestServer::answer(302);
    moved.headers.append({"Location", server.url("/new").toEncoded()});
    server.setResponse("/old", moved);
    server.setResponse("/new", HttpTestServer::answer(200, "here"));
    Http http;
    Outcome outcome(http.get(server.url("/old")));
    QVERIFY(outcome.wait());
    QCOMPARE(outcome.body(), QByteArray("here"));
    QCOMPARE(outcome.finished.first().first().value<HttpReply*>(), static_cast<HttpReply*>(outcome.reply));
    QCOMPARE(outcome.finalUrl, server.url("/new"));
}

void TestHttp::unknownOperationAndEmptyUrlStillFinish()
{
    HttpTestServer server;
    Http http;
    QTest::ignoreMessage(QtWarningMsg, "Unknown operation: 6");
    Outcome custom(http.request(server.url("/x"), QNetworkAccessManager::CustomOperation));
    QCOMPARE(custom.finished.count(), 0);
    QVERIFY(custom.wait());
    QCOMPARE(custom.error.count(), 1);
    QTRY_VERIFY(custom.reply.isNull());

    QTest::ignoreMessage(QtWarningMsg, "Empty URL");
    Outcome empty(http.get(QUrl()));
    QVERIFY(empty.wait());
    QCOMPARE(empty.error.count(), 1);
    QCOMPARE(empty.finished.count(), 1);
    QVERIFY(server.requests().isEmpty());
}

void TestHttp::eachThreadHasItsOwnManager()
{
    HttpTestServer server;
    server.setResponse("/t", HttpTestServer::answer(200, "threaded"));
    const QUrl url = server.url("/t");
    QAtomicInt received;
    QThread* worker = QThread::create([url, &received] {
        Http http;
        QEventLoop loop;
        HttpReply* reply = http.get(url);
        QObject::connect(reply, &HttpReply::data,
                         [&](const QByteArray& bytes) { received.storeRelease(bytes == "threaded" ? 1 : -1); });
        QObject::connect(reply, &HttpReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
    });
    worker->start();
    QTRY_VERIFY(worker->isFinished());
    QCOMPARE(received.loadAcquire(), 1);
    delete worker;
}

QTEST_GUILESS_MAIN(TestHttp)
#include "testhttp.moc"

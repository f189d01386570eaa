#include "http/http.h"
#include "http/httpreply.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testenvironment.h"

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
    }
    bool wait() { return finished.count() > 0 || finished.wait(5000); }
    QByteArray body() const { return data.isEmpty() ? QByteArray() : data.first().first().toByteArray(); }
    QString message() const { return error.isEmpty() ? QString() : error.first().first().toString(); }

    QPointer<HttpReply> reply;
    QSignalSpy data;
    QSignalSpy error;
    QSignalSpy finished;
};

constexpr int Get = QNetworkAccessManager::GetOperation;
constexpr int Head = QNetworkAccessManager::HeadOperation;
constexpr int Post = QNetworkAccessManager::PostOperation;

} // namespace

class TestHttp : public QObject
{
    Q_OBJECT
    TestEnvironment environment;

private slots:
    void serverErrorsAreRetried_data();
    void serverErrorsAreRetried();
    void readTimeoutOnlyLimitsTheFirstByte();
    void failuresSayWhatFailed();
    void headersAndRedirects();
    void eachThreadHasItsOwnManager();
};

void TestHttp::serverErrorsAreRetried_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<int>("failures");
    QTest::addColumn<int>("tries");
    QTest::newRow("get, 4 failures") << Get << 4 << 5;
    QTest::newRow("get, 5 failures") << Get << 5 << 5;
    QTest::newRow("head, 4 failures") << Head << 4 << 5;
    QTest::newRow("head, 5 failures") << Head << 5 << 5;
    QTest::newRow("post") << Post << 1 << 1;
}

void TestHttp::serverErrorsAreRetried()
{
    QFETCH(int, operation);
    QFETCH(int, failures);
    QFETCH(int, tries);
    HttpTestServer server;
    server.enqueue("/r", HttpTestServer::answer(503, "busy"), failures);
    server.setResponse("/r", HttpTestServer::answer(200, "fine"));

    Http http;
    const QUrl url = server.url("/r");
    Outcome outcome(operation == Post ? http.post(url, "a=1", {})
                                      : http.request(url, QNetworkAccessManager::Operation(operation)));
    QVERIFY(outcome.wait());
    const bool succeeds = failures < tries;
    QCOMPARE(server.count("/r"), tries);
    QCOMPARE(outcome.error.count(), succeeds ? 0 : 1);
    QCOMPARE(outcome.body(), QByteArray(succeeds && operation == Get ? "fine" : ""));
    QTRY_VERIFY(outcome.reply.isNull());
    QCOMPARE(outcome.finished.count(), 1);
}

void TestHttp::readTimeoutOnlyLimitsTheFirstByte()
{
    HttpTestServer server;
    HttpTestServer::Response silent;
    silent.delay = -1;
    server.setResponse("/silent", silent);
    HttpTestServer::Response slow = HttpTestServer::answer(200, QByteArray(4000, 'x'));
    slow.pause = 700; // well past the read timeout, but the transfer has started
    server.setResponse("/slow", slow);

    Http http;
    http.setReadTimeout(300); // roomy enough for a loaded machine to send the first byte
    QElapsedTimer clock;
    clock.start();
    Outcome outcome(http.get(server.url("/silent")));
    QVERIFY(outcome.wait());
    QVERIFY2(clock.elapsed() >= 4 * 285, QByteArray::number(clock.elapsed())); // coarse timers may fire 5% early
    QCOMPARE(server.count("/silent"), 4);
    QCOMPARE(outcome.message(), server.url("/silent").toString() + " 0 ");
    QTRY_VERIFY(outcome.reply.isNull());
    QCOMPARE(outcome.finished.count(), 1);
    QVERIFY(Outcome(http.post(server.url("/silent"), "x", "text/plain")).wait());
    QCOMPARE(server.count("/silent"), 5);

    Outcome started(http.get(server.url("/slow")));
    QVERIFY(started.wait());
    QCOMPARE(started.message(), QString());
    QCOMPARE(started.body(), QByteArray(4000, 'x'));
}

void TestHttp::failuresSayWhatFailed()
{
    HttpTestServer server;
    Http http;
    Outcome missing(http.get(server.url("/missing?q=1")));
    QVERIFY(missing.wait());
    QCOMPARE(missing.message(), server.url("/missing?q=1").toString() + " 404 Not Found");

    // Nothing is sent, yet each gets its error and finished, only after request() has returned.
    QTest::ignoreMessage(QtWarningMsg, "Unknown operation: 6");
    Outcome custom(http.request(server.url("/x"), QNetworkAccessManager::CustomOperation));
    QTest::ignoreMessage(QtWarningMsg, "Empty URL");
    Outcome empty(http.get(QUrl()));
    QCOMPARE(custom.finished.count() + empty.finished.count(), 0);
    QVERIFY(custom.wait() && empty.wait());
    QCOMPARE(custom.error.count() + empty.error.count(), 2);
    QTRY_VERIFY(custom.reply.isNull());
    QCOMPARE(custom.finished.count(), 1);
    QCOMPARE(server.requests().size(), 1);
}

void TestHttp::headersAndRedirects()
{
    HttpTestServer server;
    server.setResponse("/h", HttpTestServer::answer(200, "ok"));
    const QUrl url = server.url("/h");
    Http http;
    http.addDefaultHeader("X-Test", "1");
    const Http::Headers before = http.defaultHeaders();
    QVERIFY(Outcome(http.post(url, "a=1&b=2", {})).wait());
    QVERIFY(Outcome(http.request(url, QNetworkAccessManager::GetOperation, {}, 1024)).wait());
    QVERIFY(Outcome(http.get(url)).wait());
    HttpTestServer::Response moved = HttpTestServer::answer(302);
    moved.headers = "Location: " + url.toEncoded() + "\r\n";
    server.setResponse("/moved", moved);
    Outcome redirected(http.get(server.url("/moved")));
    QVERIFY(redirected.wait());
    QCOMPARE(redirected.body(), QByteArray("ok"));

    const QList<HttpTestServer::Request>& sent = server.requests();
    QCOMPARE(sent[0].body, QByteArray("a=1&b=2"));
    QCOMPARE(sent[0].headers.value("content-type"), QByteArray("application/x-www-form-urlencoded"));
    QCOMPARE(sent[1].headers.value("range"), QByteArray("bytes=1024-"));
    QVERIFY(!sent[2].headers.contains("range"));
    QVERIFY(!sent[2].headers.contains("content-type"));
    QCOMPARE(sent[2].headers.value("x-test"), QByteArray("1"));
    QCOMPARE(http.defaultHeaders(), before);
}

void TestHttp::eachThreadHasItsOwnManager()
{
    HttpTestServer server;
    server.setResponse("/t", HttpTestServer::answer(200, "threaded"));
    QByteArray received;
    std::unique_ptr<QThread> worker(QThread::create([url = server.url("/t"), &received] {
        Http http;
        Outcome outcome(http.get(url));
        if (outcome.wait())
            received = outcome.body();
    }));
    worker->start();
    QTRY_VERIFY(worker->isFinished());
    QCOMPARE(received, QByteArray("threaded"));
}

QTEST_GUILESS_MAIN(TestHttp)
#include "testhttp.moc"

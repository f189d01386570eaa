#include "http/http.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testenvironment.h"

#include <QtTest>

using Manager = QNetworkAccessManager;

class TestHttp : public QObject
{
    Q_OBJECT
    TestEnvironment environment;

private slots:
    void failuresAreRetriedOrReported_data()
    {
        QTest::addColumn<int>("operation");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("tries");
        QTest::addColumn<QString>("error"); // after the url
        const QString unavailable = " 503 Service Unavailable";
        QTest::newRow("get, 4 failures") << int(Manager::GetOperation) << 503 << 4 << 5 << QString();
        QTest::newRow("get, 5 failures") << int(Manager::GetOperation) << 503 << 5 << 5 << unavailable;
        QTest::newRow("head, 5 failures") << int(Manager::HeadOperation) << 503 << 5 << 5 << unavailable;
        QTest::newRow("post") << int(Manager::PostOperation) << 503 << 1 << 1 << unavailable;
        QTest::newRow("404") << int(Manager::GetOperation) << 404 << 1 << 1 << " 404 Not Found";
        // Nothing is sent, yet the caller gets its error and finished, only after request() has returned.
        QTest::newRow("unknown operation") << int(Manager::CustomOperation) << 503 << 0 << 0 << " 0 ";
    }

    void failuresAreRetriedOrReported()
    {
        QFETCH(int, operation);
        QFETCH(int, status);
        QFETCH(int, failures);
        QFETCH(int, tries);
        QFETCH(QString, error);
        HttpTestServer server;
        server.enqueue("/r", HttpTestServer::answer(status, "busy"), failures);
        server.setResponse("/r", HttpTestServer::answer(200, "fine"));

        Http http;
        const QUrl url = server.url("/r");
        if (operation == Manager::CustomOperation)
            QTest::ignoreMessage(QtWarningMsg, "Unknown operation: 6");
        const HttpOutcome outcome =
            runReply(operation == Manager::PostOperation ? http.post(url, "a=1", {})
                                                         : http.request(url, Manager::Operation(operation)));
        QCOMPARE(server.count("/r"), tries);
        QCOMPARE(outcome.errors, error.isEmpty() ? QStringList() : QStringList{url.toString() + error});
        QCOMPARE(outcome.body, QByteArray(error.isEmpty() && operation == Manager::GetOperation ? "fine" : ""));
        QCOMPARE(outcome.finished, 1);
    }

    void readTimeoutOnlyLimitsTheFirstByte()
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
        const HttpOutcome abandoned = runReply(http.get(server.url("/silent")));
        QVERIFY2(clock.elapsed() >= 4 * 285, QByteArray::number(clock.elapsed())); // coarse timers may fire 5% early
        QCOMPARE(server.count("/silent"), 4);
        QCOMPARE(abandoned.errors, QStringList{server.url("/silent").toString() + " 0 No answer within 300 ms"});
        QCOMPARE(abandoned.finished, 1);
        QCOMPARE(runReply(http.post(server.url("/silent"), "x", "text/plain")).finished, 1);
        QCOMPARE(server.count("/silent"), 5);

        const HttpOutcome started = runReply(http.get(server.url("/slow")));
        QCOMPARE(started.body, QByteArray(4000, 'x'));
    }

    void headersAndRedirects()
    {
        HttpTestServer server;
        server.setResponse("/h", HttpTestServer::answer(200, "ok"));
        const QUrl url = server.url("/h");
        HttpTestServer::Response moved = HttpTestServer::answer(302);
        moved.headers = "Location: " + url.toEncoded() + "\r\n";
        server.setResponse("/moved", moved);
        Http http;
        http.addDefaultHeader("X-Test", "1");
        runReply(http.post(url, "a=1&b=2", {}));
        runReply(http.request(url, Manager::GetOperation, {}, 1024));
        runReply(http.get(url));
        QCOMPARE(runReply(http.get(server.url("/moved"))).body, QByteArray("ok"));

        const QList<HttpTestServer::Request>& sent = server.requests();
        QCOMPARE(sent[0].body, QByteArray("a=1&b=2"));
        QCOMPARE(sent[0].headers.value("content-type"), QByteArray("application/x-www-form-urlencoded"));
        QCOMPARE(sent[1].headers.value("range"), QByteArray("bytes=1024-"));
        QVERIFY(!sent[2].headers.contains("range"));
        QVERIFY(!sent[2].headers.contains("content-type"));
        QCOMPARE(sent[2].headers.value("x-test"), QByteArray("1"));

        // Never from https down to http.
        HttpTestServer secure(HttpTestServer::Scheme::Https);
        secure.setResponse("/down", moved);
        const int fetched = server.count("/h");
        const HttpOutcome refused = runReply(http.get(secure.url("/down")));
        QCOMPARE(refused.errors, QStringList{url.toString() + " 302 Insecure redirect"});
        QCOMPARE(server.count("/h"), fetched);
    }
};

QTEST_GUILESS_MAIN(TestHttp)
#include "testhttp.moc"

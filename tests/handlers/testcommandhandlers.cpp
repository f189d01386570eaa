#include "http/webservice.h"
#include "platform/website.h"
#include "server/core.h"
#include "server/protocol.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testclient.h"
#include "tests/support/testcore.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testplatform.h"
#include "tests/support/warningcounter.h"
#include "updater/updater.h"

#include <QPointer>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

namespace {
// Spacing and key order the server must not touch.
const QByteArray Document = "{ \"b\" : true,\n  \"c\": [\"Save\", \"Open\"] }";

class IdleUpdater : public Updater
{
public:
    void update() override {}
};
} // namespace

class TestCommandHandlers : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    HttpTestServer webService;
    IdleUpdater updater;
    TestPlatform* platform = nullptr;
    TestClient client;

    QJsonObject commandsOf(App* app) { return request(Method::Commands, {{Key::Id, app->id()}}); }
    void expectCommands(App* app)
    {
        const TestClient::Message answer = client.next();
        QCOMPARE(answer.json, commandsOf(app));
        QCOMPARE(answer.attachments, Server::Attachments({{Server::Json, Document}}));
    }
    // Answered at once: whatever was to come before it has come.
    void expectMenuAnswerNext(App* app)
    {
        client.send(request(Method::Menu, {{Key::Id, app->id()}}));
        QCOMPARE(client.nextJson().value(Key::Method).toString(), Method::Menu);
    }

private slots:
    void initTestCase()
    {
        setWebServiceBaseUrl(webService.url(QString()).toEncoded());
        webService.setResponse("/app", HttpTestServer::answer(200, Document));
        webService.enqueue("/web/index.json", HttpTestServer::answer(404)); // the start-up load fails
        webService.setResponse("/web/index.json",
                               HttpTestServer::answer(200, R"({"i": [{"n": "A", "d": "a.example"}, {"n": "no domain"},
                                                                     {"d": ""}, {"d": "b.example"}]})"));
        webService.setResponse("/web/a.example.json", HttpTestServer::answer(200, R"({"c": "Reload", "i": "x"})"));
        webService.setResponse("/web/b.example.json", HttpTestServer::answer(200, "not json"));
        QSettings().setValue(QStringLiteral("preventSleep"), false);
        updater.setImmediateInstallAndRelaunch(true);
        Updater::setInstance(&updater);

        const WarningCounter failures(QStringLiteral("^Cannot load websites"));
        platform = startTestCore();
        QVERIFY(platform);
        QTRY_COMPARE(failures.count(), 1);
        QVERIFY(client.pair(*Core::instance()->server()));
    }

    // Whatever the sleep setting says, a catalogue that failed at start-up gets another chance.
    void catalogueIsLoadedAgainForTheFirstClient()
    {
        QTRY_COMPARE(Core::instance()->websites().keys(), QStringList({"a.example", "b.example"}));
        QCOMPARE(Core::instance()->websites().value("b.example")->commands(), QJsonObject());
        QCOMPARE(webService.requests().size(), 4); // nothing asked for the entries without a domain
    }

    void websiteCommandsArePushedOncePerHost()
    {
        TestApp* browser = platform->addApp(QStringLiteral("browser.desktop"), QStringLiteral("Browser"));
        const QJsonObject known = request(Method::CommandsChanged, {{Key::Id, browser->id()}, {"c", "Reload"}});
        const QJsonObject unknown = request(Method::CommandsChanged, {{Key::Id, browser->id()}});
        browser->setUrl(QUrl(QStringLiteral("https://a.example/news?page=2")));
        QCOMPARE(client.nextJson(), known);
        browser->setUrl(QUrl(QStringLiteral("https://a.example/sport")));
        browser->setUrl(QUrl(QStringLiteral("https://nowhere.example/")));
        QCOMPARE(client.nextJson(), unknown);
        // Coming back to the application shows the page's commands again.
        browser->setCurrent(false);
        browser->setUrl(QUrl(QStringLiteral("https://nowhere.example/")));
        QCOMPARE(client.nextJson(), unknown);
    }

    void commandsAreLoadedOnceAndRelayedAsReceived()
    {
        TestApp* app = platform->addApp(QStringLiteral("Web-Tool.desktop-Kit.desktop"), QStringLiteral("Tool"));
        client.send(commandsOf(app));
        expectCommands(app);
        QCOMPARE(webService.requests().last().query, QByteArray("q=web%20tool%20kit"));
        QVERIFY(app->isBrowser());
        client.send(commandsOf(app));
        expectCommands(app);
        QCOMPARE(webService.count("/app"), 1);
    }

    // A failed load answers nothing; asking again tries again, and that load answers the request
    // still waiting as well, each once.
    void failedDownloadAnswersNothing()
    {
        TestApp* app = platform->addApp(QStringLiteral("missing.desktop"), QStringLiteral("Missing"));
        webService.enqueue("/app", HttpTestServer::answer(404));
        {
            const WarningCounter failures(QStringLiteral("^Cannot load commands \"missing.desktop\""));
            client.send(commandsOf(app));
            QTRY_COMPARE(failures.count(), 1);
        }
        expectMenuAnswerNext(app);
        client.send(commandsOf(app));
        expectCommands(app);
        expectCommands(app);
        expectMenuAnswerNext(app);
    }

    // Two loads run; the first answers the one request left, the second answers nothing.
    void disconnectedClientIsNotWrittenTo()
    {
        TestClient leaving(QStringLiteral("device-2"));
        Server* server = Core::instance()->server();
        QVERIFY(leaving.pair(*server));
        QPointer<QWebSocket> leavingConnection = server->clients().last();
        TestApp* app = platform->addApp(QStringLiteral("slow.desktop"), QStringLiteral("Slow"));
        QSignalSpy loaded(app, &App::commandsLoaded);
        HttpTestServer::Response slow = HttpTestServer::answer(200, Document);
        slow.delay = 500; // room for the client to leave first
        webService.enqueue("/app", slow, 2);
        const int downloads = webService.count("/app");
        leaving.send(commandsOf(app));
        client.send(commandsOf(app));
        QTRY_COMPARE(webService.count("/app"), downloads + 2);
        leaving.socket.close();
        QTRY_VERIFY(leavingConnection.isNull());
        QCOMPARE(loaded.count(), 0);

        expectCommands(app);
        QTRY_COMPARE(loaded.count(), 2);
        expectMenuAnswerNext(app);
    }

    void iconsAreRelayedByteForByte()
    {
        const QByteArray png("\x89PNG\r\n\x1a\n\0\x01\xff", 11);
        webService.setResponse("/icon", HttpTestServer::answer(200, png));
        auto iconOf = [](int size) {
            return request(Method::CommandIcon, {{Key::Id, "star & moon"}, {Key::Size, size}});
        };
        client.send(iconOf(1025)); // sizes come from the network
        client.send(iconOf(16));
        const TestClient::Message icon = client.next();
        QCOMPARE(icon.json, iconOf(16));
        QCOMPARE(icon.attachments, Server::Attachments({{Server::Png, png}}));
        QCOMPARE(webService.count("/icon"), 1);
        QCOMPARE(webService.requests().last().query, QByteArray("i=star%20%26%20moon&s=16"));
    }

    void updateRelaunchesOnlyWithoutClients()
    {
        QVERIFY(!updater.immediateInstallAndRelaunch());
        client.socket.close();
        QTRY_VERIFY(updater.immediateInstallAndRelaunch());
    }
};

QTEST_MAIN(TestCommandHandlers)
#include "testcommandhandlers.moc"

#include "http/webservice.h"
#include "platform/website.h"
#include "server/core.h"
#include "server/protocol.h"
#include "server/server.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testclient.h"
#include "tests/support/testcore.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testplatform.h"
#include "tests/support/warningcounter.h"
#include "updater/updater.h"

#include <QJsonArray>
#include <QSettings>
#include <QtTest>

namespace {
class IdleUpdater : public Updater
{
public:
    void update() override {}
};

QJsonObject commandsChanged(const QJsonObject& document)
{
    QJsonObject object = document;
    object.insert(Key::Method, Method::CommandsChanged);
    return object;
}
} // namespace

class TestCommands : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    HttpTestServer webService;
    IdleUpdater updater;
    TestPlatform* platform = nullptr;
    TestClient client;

private slots:
    void initTestCase();
    void catalogueIsLoadedAgainForTheFirstClient();
    void websiteCommandsArePushedOncePerHost();
    void updateRelaunchesOnlyWithoutClients();
};

void TestCommands::initTestCase()
{
    setWebServiceBaseUrl(webService.url(QString()).toEncoded());
    webService.enqueue("/web/index.json", HttpTestServer::answer(404));
    QSettings().setValue(QStringLiteral("preventSleep"), false);
    updater.setImmediateInstallAndRelaunch(true);
    Updater::setInstance(&updater);

    WarningCounter failures(QStringLiteral("^Cannot load websites"));
    platform = startTestCore();
    QVERIFY(platform);
    QTRY_COMPARE(failures.count(), 1);
    QVERIFY(Core::instance()->websites().isEmpty());
}

// A catalogue that failed at start-up gets another chance, whatever the sleep setting says.
void TestCommands::catalogueIsLoadedAgainForTheFirstClient()
{
    const QByteArray index = R"({"i": [{"n": "A", "d": "a.example"}, {"n": "no domain"}, {"n": "empty", "d": ""},
                                       {"n": "B", "d": "b.example"}]})";
    webService.setResponse("/web/index.json", HttpTestServer::answer(200, index));
    webService.setResponse("/web/a.example.json", HttpTestServer::answer(200, R"({"c": ["Reload"], "i": "x"})"));
    webService.setResponse("/web/b.example.json", HttpTestServer::answer(200, "not json"));
    QVERIFY(client.pair(*Core::instance()->server()));

    QTRY_COMPARE(Core::instance()->websites().keys(), QStringList({"a.example", "b.example"}));
    QCOMPARE(Core::instance()->websites().value("b.example")->commands(), QJsonObject());
    QCOMPARE(webService.count("/web/index.json"), 2);
    QCOMPARE(webService.requests().size(), 4); // nothing asked for the entries without a domain
}

void TestCommands::websiteCommandsArePushedOncePerHost()
{
    TestApp* browser = platform->addApp(QStringLiteral("browser.desktop"), QStringLiteral("Browser"));
    const QJsonObject aExample{{Key::Id, browser->id()}, {QStringLiteral("c"), QJsonArray{"Reload"}}};
    const QJsonObject unknown{{Key::Id, browser->id()}};

    browser->setUrl(QUrl(QStringLiteral("https://a.example/news?page=2")));
    QCOMPARE(client.nextJson(), commandsChanged(aExample));
    browser->setUrl(QUrl(QStringLiteral("https://a.example/sport")));
    browser->setUrl(QUrl(QStringLiteral("https://nowhere.example/")));
    QCOMPARE(client.nextJson(), commandsChanged(unknown));

    // Coming back to the application shows the page's commands again.
    browser->setCurrent(false);
    browser->setUrl(QUrl(QStringLiteral("https://nowhere.example/")));
    QCOMPARE(client.nextJson(), commandsChanged(unknown));
}

void TestCommands::updateRelaunchesOnlyWithoutClients()
{
    QVERIFY(!updater.immediateInstallAndRelaunch());
    client.socket.close();
    QTRY_VERIFY(updater.immediateInstallAndRelaunch());
    QVERIFY(client.reconnect(Core::instance()->server()->port()));
    QTRY_VERIFY(!updater.immediateInstallAndRelaunch());
}

QTEST_MAIN(TestCommands)
#include "testcommands.moc"

#include "tests/support/httptestserver.h"
#include "tests/support/testenvironment.h"
#include "updater/appcastparser.h"
#include "updater/checker.h"
#include "updater/defaultupdater.h"
#include "updater/simplexmlparser.h"

#include <QDateTime>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

using updater::DefaultUpdater;

namespace {

const QString lastCheck = QStringLiteral("updateCheck");

QByteArray appcastItem(const QByteArray& version, const QByteArray& url)
{
    const QByteArray versionAttribute = version.isNull() ? QByteArray() : " sparkle:version=\"" + version + '"';
    return "<item><title>t</title><enclosure url=\"" + url + '"' + versionAttribute +
           " sparkle:shortVersionString=\"Pavo " + version + "\" length=\"1\"/><pubDate>x</pubDate></item>";
}

QByteArray appcast(const QByteArray& items)
{
    return "<?xml version=\"1.0\"?><rss version=\"2.0\" "
           "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel><title>Pavo</title>" +
           items + "</channel></rss>";
}

QByteArray simpleFeed(const QByteArray& version)
{
    return "<release><version>" + version + "</version><url>http://127.0.0.1:9/pavo.deb</url></release>";
}

} // namespace

class TestUpdateCheck : public QObject
{
    Q_OBJECT
    TestEnvironment environment;

private slots:
    void init() { QSettings().clear(); }

    void simpleFeedLastElementsWin();
    void appcastLastItemWinsAndVersionMayBeMissing();
    void malformedFeedKeepsWhatWasRead();
    void anyOtherVersionIsAnUpdate_data();
    void anyOtherVersionIsAnUpdate();
    void failedCheckLeavesTheTimeAlone();
    void checkAfterDownloadDownloadsNothing();
    void firstDueCheckRunsSoonAfterStart();
    void checkTimeIsSharedByAllUpdaters();
};

void TestUpdateCheck::simpleFeedLastElementsWin()
{
    DefaultUpdater updater;
    updater::SimpleXmlParser parser;
    updater.setParser(&parser);
    updater.setDownloadUrl(QUrl("https://default.invalid/p.deb"));
    parser.parse("<?xml version=\"1.0\"?><feed><version>9.9</version><release><version>1.6</version>"
                 "<url>https://a.invalid/1.6.deb</url></release><version>1.7</version></feed>");
    QVERIFY(!parser.error());
    QCOMPARE(updater.version(), QStringLiteral("1.7"));
    QCOMPARE(updater.downloadUrl(), QUrl("https://a.invalid/1.6.deb"));

    updater::SimpleXmlParser withArguments(QStringLiteral("r"), QStringLiteral("v"), QStringLiteral("u"));
    withArguments.setUrlArguments({QStringLiteral("x86_64"), QStringLiteral("deb")});
    updater.setParser(&withArguments);
    withArguments.parse("<r><u>https://a.invalid/%1/p.%2</u></r>");
    QCOMPARE(updater.downloadUrl(), QUrl("https://a.invalid/x86_64/p.deb"));
    QCOMPARE(updater.version(), QStringLiteral("1.7"));
}

void TestUpdateCheck::appcastLastItemWinsAndVersionMayBeMissing()
{
    DefaultUpdater updater;
    updater::AppcastParser parser;
    updater.setParser(&parser);
    parser.parse(
        appcast(appcastItem("2.0", "https://a.invalid/2.0.deb") + appcastItem("1.9", "https://a.invalid/1.9.deb")));
    QVERIFY(!parser.error());
    QCOMPARE(updater.version(), QStringLiteral("1.9"));
    QCOMPARE(updater.displayVersion(), QStringLiteral("Pavo 1.9"));
    QCOMPARE(updater.downloadUrl(), QUrl("https://a.invalid/1.9.deb"));

    parser.parse(appcast(appcastItem(QByteArray(), "https://a.invalid/x.deb")));
    QVERIFY(updater.version().isEmpty());

    // Without the namespace the attribute is a different one.
    parser.parse("<rss><channel><item><enclosure url=\"u\" version=\"3.0\"/></item></channel></rss>");
    QVERIFY(updater.version().isEmpty());
}

void TestUpdateCheck::malformedFeedKeepsWhatWasRead()
{
    DefaultUpdater updater;
    updater::SimpleXmlParser parser;
    updater.setParser(&parser);
    parser.parse("<release><version>1.8</version><url>https://a.invalid/x</oops>");
    QVERIFY(parser.error());
    QVERIFY(!parser.errorString().isEmpty());
    QCOMPARE(updater.version(), QStringLiteral("1.8"));
}

void TestUpdateCheck::anyOtherVersionIsAnUpdate_data()
{
    QTest::addColumn<QByteArray>("offered");
    QTest::addColumn<int>("status");
    QTest::newRow("newer") << QByteArray("1.6") << int(DefaultUpdater::UpdateAvailable);
    QTest::newRow("older") << QByteArray("1.4") << int(DefaultUpdater::UpdateAvailable);
    QTest::newRow("same") << QByteArray("1.5") << int(DefaultUpdater::UpToDate);
    QTest::newRow("empty") << QByteArray() << int(DefaultUpdater::UpToDate);
}

void TestUpdateCheck::anyOtherVersionIsAnUpdate()
{
    QFETCH(QByteArray, offered);
    QFETCH(int, status);
    HttpTestServer server;
    server.setResponse("/release.xml", HttpTestServer::answer(200, simpleFeed(offered)));
    DefaultUpdater updater;
    updater::SimpleXmlParser parser;
    updater.setParser(&parser);
    updater.setAutomaticDownload(false);
    updater.setFeedUrl(server.url("/release.xml"));
    QCOMPARE(updater.currentVersion(), QStringLiteral("1.5"));

    updater::Checker checker(&updater);
    QSignalSpy done(&checker, &updater::Checker::done);
    checker.check();
    QVERIFY(done.wait());
    QCOMPARE(int(updater.status()), status);
    QVERIFY(!checker.error());
    QVERIFY(qAbs(QSettings().value(lastCheck).toLongLong() - QDateTime::currentSecsSinceEpoch()) < 5);
}

void TestUpdateCheck::failedCheckLeavesTheTimeAlone()
{
    HttpTestServer server;
    QSettings().setValue(lastCheck, 1000);
    DefaultUpdater updater;
    updater.setFeedUrl(server.url("/gone.xml"));
    updater.setStatus(DefaultUpdater::UpdateAvailable);
    updater::Checker checker(&updater);
    QSignalSpy done(&checker, &updater::Checker::done);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Update check failed 404 \"Not Found\""));
    checker.check();
    QVERIFY(done.wait());
    QVERIFY(checker.error());
    QCOMPARE(checker.errorString(), QStringLiteral("Not Found"));
    QCOMPARE(updater.status(), DefaultUpdater::UpToDate);
    QCOMPARE(QSettings().value(lastCheck).toInt(), 1000);
}

void TestUpdateCheck::checkAfterDownloadDownloadsNothing()
{
    HttpTestServer server;
    server.setResponse("/release.xml", HttpTestServer::answer(200, simpleFeed("2.0")));
    DefaultUpdater updater;
    updater::SimpleXmlParser parser;
    updater.setParser(&parser);
    updater.setFeedUrl(server.url("/release.xml"));
    updater.setStatus(DefaultUpdater::UpdateDownloaded);
    updater::Checker checker(&updater);
    QSignalSpy done(&checker, &updater::Checker::done);
    checker.check();
    QVERIFY(done.wait());
    QCOMPARE(updater.status(), DefaultUpdater::UpToDate);
    QCOMPARE(server.requests().size(), 1);
}

void TestUpdateCheck::firstDueCheckRunsSoonAfterStart()
{
    HttpTestServer server;
    server.setResponse("/release.xml", HttpTestServer::answer(200, simpleFeed("1.6")));
    DefaultUpdater::setFirstCheckDelay(20);
    DefaultUpdater updater;
    DefaultUpdater::setFirstCheckDelay(5000);
    updater::SimpleXmlParser parser;
    updater.setParser(&parser);
    updater.setAutomaticDownload(false);
    updater.setFeedUrl(server.url("/release.xml"));
    QSignalSpy attention(&updater, &DefaultUpdater::attentionNeeded);
    QVERIFY(attention.wait());
    QCOMPARE(updater.status(), DefaultUpdater::UpdateAvailable);
    QCOMPARE(server.count("/release.xml"), 1);
}

void TestUpdateCheck::checkTimeIsSharedByAllUpdaters()
{
    HttpTestServer server;
    server.setResponse("/release.xml", HttpTestServer::answer(200, simpleFeed("1.5")));
    DefaultUpdater first;
    DefaultUpdater second;
    for (DefaultUpdater* updater : {&first, &second}) {
        updater->setFeedUrl(server.url("/release.xml"));
        updater->setParser(new updater::SimpleXmlParser);
    }
    QSettings().setValue(lastCheck, QDateTime::currentSecsSinceEpoch() - 3600);
    first.checkIfDue();
    QCOMPARE(server.requests().size(), 0);

    QSettings().setValue(lastCheck, QDateTime::currentSecsSinceEpoch() - 86400);
    QSignalSpy status(&first, &DefaultUpdater::statusChanged);
    first.checkIfDue();
    QVERIFY(status.wait());
    second.checkIfDue();
    QCOMPARE(server.requests().size(), 1);
    delete first.parser();
    delete second.parser();
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.5"));
    TestUpdateCheck test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "testupdatecheck.moc"

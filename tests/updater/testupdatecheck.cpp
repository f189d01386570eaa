#include "tests/support/httptestserver.h"
#include "tests/support/testenvironment.h"
#include "updater/appcastparser.h"
#include "updater/checker.h"
#include "updater/defaultupdater.h"
#include "updater/dialog.h"
#include "updater/simplexmlparser.h"

#include <QDateTime>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

using updater::DefaultUpdater;

namespace {

const QString lastCheck = QStringLiteral("updateCheck");

// One item per version; a null version leaves the attribute out.
QByteArray appcast(const QList<QByteArray>& versions)
{
    QByteArray items;
    for (const QByteArray& v : versions)
        items += "<item><title>t</title><enclosure url=\"https://a.invalid/" + v + ".deb\"" +
                 (v.isNull() ? QByteArray() : " sparkle:version=\"" + v + '"') + " sparkle:shortVersionString=\"Pavo " +
                 v + "\"/></item>";
    return "<rss xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel>" + items +
           "</channel></rss>";
}

// An updater whose feed, served at /release.xml, offers this version.
struct Feed
{
    // A null version: the feed is missing.
    explicit Feed(const QByteArray& version)
    {
        const QByteArray body = "<release><version>" + version + "</version><url>http://127.0.0.1:9/</url></release>";
        server.setResponse("/release.xml", HttpTestServer::answer(version.isNull() ? 404 : 200, body));
        updater.setCurrentVersion(QStringLiteral("1.5"));
        updater.setParser(&parser);
        updater.setAutomaticDownload(false);
        updater.setFeedUrl(server.url("/release.xml"));
    }
    // Runs one check to its end; false when it failed.
    bool check()
    {
        updater::Checker checker(&updater);
        QSignalSpy done(&checker, &updater::Checker::done);
        checker.check();
        return done.wait() && !checker.error();
    }

    HttpTestServer server;
    DefaultUpdater updater;
    updater::SimpleXmlParser parser;
};

} // namespace

class TestUpdateCheck : public QObject
{
    Q_OBJECT
    TestEnvironment environment;

private slots:
    void init() { QSettings().setValue(lastCheck, 1000); }

    void simpleFeedLastElementsWin();
    void appcastLastItemWinsAndVersionMayBeMissing();
    void check_data();
    void check();
    void firstDueCheckRunsSoonAfterStartForAll();
};

void TestUpdateCheck::simpleFeedLastElementsWin()
{
    Feed feed("");
    feed.parser.parse("<?xml version=\"1.0\"?><feed><version>9.9</version><release><version>1.6</version>"
                      "<url>https://a.invalid/1.6.deb</url></release><version>1.7</version></feed>");
    QVERIFY(!feed.parser.error());
    QCOMPARE(feed.updater.version(), QStringLiteral("1.7"));
    QCOMPARE(feed.updater.downloadUrl(), QUrl("https://a.invalid/1.6.deb"));
}

void TestUpdateCheck::appcastLastItemWinsAndVersionMayBeMissing()
{
    DefaultUpdater updater;
    updater::AppcastParser parser;
    updater.setParser(&parser);
    parser.parse(appcast({"2.0", "1.9"}));
    QVERIFY(!parser.error());
    QCOMPARE(updater.version(), QStringLiteral("1.9"));
    QCOMPARE(updater.displayVersion(), QStringLiteral("Pavo 1.9"));
    QCOMPARE(updater.downloadUrl(), QUrl("https://a.invalid/1.9.deb"));

    parser.parse(appcast({QByteArray()}));
    QVERIFY(updater.version().isEmpty());

    // Without the namespace the attribute is a different one.
    parser.parse("<rss><channel><item><enclosure url=\"u\" version=\"3.0\"/></item></channel></rss>");
    QVERIFY(updater.version().isEmpty());
}

void TestUpdateCheck::check_data()
{
    QTest::addColumn<QByteArray>("offered");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::newRow("newer") << QByteArray("1.6") << 0 << int(DefaultUpdater::UpdateAvailable);
    QTest::newRow("older") << QByteArray("1.4") << 0 << int(DefaultUpdater::UpdateAvailable);
    QTest::newRow("same") << QByteArray("1.5") << 0 << int(DefaultUpdater::UpToDate);
    QTest::newRow("empty") << QByteArray("") << 0 << int(DefaultUpdater::UpToDate);
    // Automatic download is on here: a downloaded update is not fetched again.
    QTest::newRow("downloaded") << QByteArray("2.0") << int(DefaultUpdater::UpdateDownloaded)
                                << int(DefaultUpdater::UpToDate);
    // Not recorded, so that the next poll tries again.
    QTest::newRow("missing") << QByteArray() << int(DefaultUpdater::UpdateAvailable) << int(DefaultUpdater::UpToDate);
}

void TestUpdateCheck::check()
{
    QFETCH(QByteArray, offered);
    QFETCH(int, before);
    QFETCH(int, after);
    Feed feed(offered);
    feed.updater.setStatus(DefaultUpdater::Status(before));
    feed.updater.setAutomaticDownload(before == DefaultUpdater::UpdateDownloaded);
    if (offered.isNull())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Update check failed 404 \"Not Found\""));
    QCOMPARE(feed.check(), !offered.isNull());
    QCOMPARE(int(feed.updater.status()), after);
    QCOMPARE(feed.server.requests().size(), 1);
    const qint64 recorded = offered.isNull() ? 1000 : QDateTime::currentSecsSinceEpoch();
    QVERIFY(qAbs(QSettings().value(lastCheck).toLongLong() - recorded) < 5);
}

// The first due check comes soon after start and asks the user; its time, shared by all
// updaters, makes the next one wait for a whole interval.
void TestUpdateCheck::firstDueCheckRunsSoonAfterStartForAll()
{
    DefaultUpdater::setFirstCheckDelay(20);
    Feed first("1.6");
    DefaultUpdater::setFirstCheckDelay(5000);
    Feed second("1.6");
    QTRY_VERIFY(qobject_cast<updater::Dialog*>(QApplication::activeModalWidget()));
    QCOMPARE(first.updater.status(), DefaultUpdater::UpdateAvailable);
    second.updater.checkIfDue();
    QCOMPARE(second.server.requests().size(), 0);
    QApplication::activeModalWidget()->close();
}

QTEST_MAIN(TestUpdateCheck)
#include "testupdatecheck.moc"

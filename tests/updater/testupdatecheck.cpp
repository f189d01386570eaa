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

} // namespace

class TestUpdateCheck : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    HttpTestServer server;
    updater::SimpleXmlParser parser;

    // The feed at /<version>.xml offers this version to a program running 1.5; a null version: no feed.
    void offer(DefaultUpdater& updater, const QByteArray& version)
    {
        const QByteArray path = '/' + version + ".xml";
        const QByteArray feed = "<release><version>" + version + "</version><url>http://127.0.0.1:9/</url></release>";
        server.setResponse(path, HttpTestServer::answer(version.isNull() ? 404 : 200, feed));
        updater.setCurrentVersion(QStringLiteral("1.5"));
        updater.setParser(&parser);
        updater.setAutomaticDownload(false);
        updater.setFeedUrl(server.url(path));
    }

private slots:
    void init() { QSettings().setValue(lastCheck, 1000); }

    void parsersLetTheLastElementsWin();
    void check_data();
    void check();
    void firstDueCheckRunsSoonAfterStartForAll();
};

void TestUpdateCheck::parsersLetTheLastElementsWin()
{
    DefaultUpdater updater;
    updater.setParser(&parser);
    parser.parse("<?xml version=\"1.0\"?><feed><version>9.9</version><release><version>1.6</version>"
                 "<url>https://a.invalid/1.6.deb</url></release><version>1.7</version></feed>");
    QVERIFY(!parser.error());
    QCOMPARE(updater.version(), QStringLiteral("1.7"));
    QCOMPARE(updater.downloadUrl(), QUrl("https://a.invalid/1.6.deb"));

    updater::AppcastParser appcastParser;
    updater.setParser(&appcastParser);
    appcastParser.parse(appcast({"2.0", "1.9"}));
    QVERIFY(!appcastParser.error());
    QCOMPARE(updater.version(), QStringLiteral("1.9"));
    QCOMPARE(updater.displayVersion(), QStringLiteral("Pavo 1.9"));
    QCOMPARE(updater.downloadUrl(), QUrl("https://a.invalid/1.9.deb"));
    appcastParser.parse(appcast({QByteArray()}));
    QVERIFY(updater.version().isEmpty());
    // Without the namespace the attribute is a different one.
    appcastParser.parse("<rss><channel><item><enclosure url=\"u\" version=\"3.0\"/></item></channel></rss>");
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
    DefaultUpdater updater;
    offer(updater, offered);
    updater.setStatus(DefaultUpdater::Status(before));
    updater.setAutomaticDownload(before == DefaultUpdater::UpdateDownloaded);
    if (offered.isNull())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Update check failed 404 \"Not Found\""));
    const int requests = server.requests().size();
    updater::Checker checker(&updater);
    QSignalSpy done(&checker, &updater::Checker::done);
    checker.check();
    QVERIFY(done.wait());
    QCOMPARE(checker.error(), offered.isNull());
    QTEST(int(updater.status()), "after");
    QCOMPARE(server.requests().size(), requests + 1);
    const qint64 recorded = offered.isNull() ? 1000 : QDateTime::currentSecsSinceEpoch();
    QVERIFY(qAbs(QSettings().value(lastCheck).toLongLong() - recorded) < 5);
}

// The first due check comes soon after start and asks the user; its time, shared by all
// updaters, makes the next one wait for a whole interval.
void TestUpdateCheck::firstDueCheckRunsSoonAfterStartForAll()
{
    DefaultUpdater::setFirstCheckDelay(20);
    DefaultUpdater first;
    offer(first, "1.6");
    DefaultUpdater::setFirstCheckDelay(5000);
    DefaultUpdater second;
    second.setFeedUrl(first.feedUrl());
    QTRY_VERIFY(qobject_cast<updater::Dialog*>(QApplication::activeModalWidget()));
    QCOMPARE(first.status(), DefaultUpdater::UpdateAvailable);
    const int requests = server.requests().size();
    second.checkIfDue();
    QCOMPARE(server.requests().size(), requests);
    QApplication::activeModalWidget()->close();
}

QTEST_MAIN(TestUpdateCheck)
#include "testupdatecheck.moc"

#include "http/vendor.h"
#include "http/webservice.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testenvironment.h"
#include "updater/defaultupdater.h"
#include "updater/downloader.h"
#include "updater/runinstaller.h"
#include "updater/simplexmlparser.h"
#include "updater/updatersetup.h"

#include <QDateTime>
#include <QDir>
#include <QSettings>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using updater::DefaultUpdater;
using updater::Downloader;
using updater::RunInstaller;

namespace {

const QByteArray package = QByteArray("Debian package ") + QByteArray(20000, 'p');

void writeScript(const QString& path, const QByteArray& body)
{
    QFile script(path);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\n" + body);
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

} // namespace

class TestUpdateDownload : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    HttpTestServer server;
    QString record;
    QString temp;

    QStringList recorded() const;
    // An updater that downloads from the test server and installs through the stand-in dpkg.
    void configure(DefaultUpdater& updater, RunInstaller& installer, const QByteArray& path);

private slots:
    void initTestCase();
    void init();

    void downloadIsPrivateAndComplete();
    void plantedLinkIsNotFollowed();
    void downloadErrors_data();
    void downloadErrors();
    void cancelReportsOnce();
    void noLengthMeansNoProgress();
    void urlEndingInSlashNamesTheFileByPrefix();
    void installerCommandLine_data();
    void installerCommandLine();
    void installerWithoutArgumentsRunsTheFile();
    void refusedInstallIsNoSuccess();
    void setUpConfiguresTheProgramsUpdater();
    void installsAtOnceWhenNobodyIsConnected();
    // Last: it runs the application's event loop to its end.
    void installWaitsForQuitWhileAClientIsConnected();
};

void TestUpdateDownload::initTestCase()
{
    const QString bin = environment.home() + "/bin";
    temp = environment.home() + "/tmp";
    record = environment.home() + "/calls";
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(QDir().mkpath(temp));
    qputenv("TMPDIR", temp.toUtf8());
    qputenv("PATH", (bin + ':').toUtf8() + qgetenv("PATH"));
    writeScript(bin + "/pkexec", "echo \"pkexec $*\" >> '" + record.toUtf8() + "'\nexec \"$@\"\n");
    writeScript(bin + "/dpkg", "echo \"dpkg $*\" >> '" + record.toUtf8() + "'\nexit ${PAVO_TEST_DPKG_EXIT:-0}\n");
    server.setResponse("/files/pavo-server.deb", HttpTestServer::answer(200, package));
}

void TestUpdateDownload::init()
{
    QFile::remove(record);
    qunsetenv("PAVO_TEST_DPKG_EXIT");
    // Keeps the schedule of every updater made here from checking a feed.
    QSettings().setValue("updateCheck", QDateTime::currentSecsSinceEpoch());
}

QStringList TestUpdateDownload::recorded() const
{
    QFile file(record);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

void TestUpdateDownload::configure(DefaultUpdater& updater, RunInstaller& installer, const QByteArray& path)
{
    updater.setDownloadUrl(server.url(path));
    installer.setCommand("dpkg");
    installer.setArguments({"-i", "%filename%"});
    installer.setRunElevated(true);
    updater.setInstaller(&installer);
}

void TestUpdateDownload::downloadIsPrivateAndComplete()
{
    Downloader downloader;
    QSignalSpy ready(&downloader, &Downloader::fileReady);
    QSignalSpy progress(&downloader, &Downloader::progress);
    downloader.download(server.url("/files/pavo-server.deb"));
    QVERIFY(ready.wait());
    const QString file = ready.first().first().toString();
    QCOMPARE(QFileInfo(file).path(), temp);
    QVERIFY(QFileInfo(file).fileName().endsWith("pavo-server.deb"));
    // Hex of the decimal digits of a 64-bit number: at least a dozen digits.
    QVERIFY(QFileInfo(file).fileName().indexOf("pavo") >= 24);
    const QFile::Permissions others =
        QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    QCOMPARE(QFileInfo(file).permissions() & others, QFile::Permissions());
    QVERIFY(QFileInfo(file).permissions() & QFile::WriteOwner);
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), package);
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last().first().toInt(), 100);

    Downloader again;
    QSignalSpy readyAgain(&again, &Downloader::fileReady);
    again.download(server.url("/files/pavo-server.deb"));
    QVERIFY(readyAgain.wait());
    QVERIFY(readyAgain.first().first().toString() != file);
}

// Another local user who knows the name in time must not get the package written elsewhere.
void TestUpdateDownload::plantedLinkIsNotFollowed()
{
    HttpTestServer::Response late = HttpTestServer::answer(200, package);
    late.delay = 200;
    server.enqueue("/late.deb", late);
    const QString victim = environment.home() + "/victim";
    QFile(victim).open(QIODevice::WriteOnly);

    Downloader downloader;
    QSignalSpy error(&downloader, &Downloader::error);
    QSignalSpy ready(&downloader, &Downloader::fileReady);
    downloader.download(server.url("/late.deb"));
    QVERIFY(QFile::link(victim, downloader.fileName()));
    QVERIFY(error.wait());
    QVERIFY(error.first().first().toString().startsWith("Error opening file: "));
    QCOMPARE(error.count(), 1);
    QCOMPARE(ready.count(), 0);
    QCOMPARE(QFileInfo(victim).size(), 0);
}

void TestUpdateDownload::downloadErrors_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("404") << 404 << "server replied: Not Found";
    QTest::newRow("204") << 204 << "No Content";
}

void TestUpdateDownload::downloadErrors()
{
    QFETCH(int, status);
    QFETCH(QString, message);
    server.enqueue("/broken.deb", HttpTestServer::answer(status, status == 404 ? "missing" : ""));
    DefaultUpdater updater;
    updater.setDownloadUrl(server.url("/broken.deb"));
    Downloader* downloader = updater.startDownload();
    QCOMPARE(updater.status(), DefaultUpdater::DownloadingUpdate);
    QCOMPARE(updater.startDownload(), downloader);
    QSignalSpy error(downloader, &Downloader::error);
    QSignalSpy ready(downloader, &Downloader::fileReady);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(message));
    QVERIFY(error.wait());
    QVERIFY2(error.first().first().toString().contains(message), qPrintable(error.first().first().toString()));
    QCOMPARE(updater.status(), DefaultUpdater::UpdateDownloadFailed);
    QVERIFY(updater.downloadedFile().isEmpty());
    QCOMPARE(ready.count(), 0);
    QCOMPARE(error.count(), 1);
}

void TestUpdateDownload::cancelReportsOnce()
{
    HttpTestServer::Response slow = HttpTestServer::answer(200, package);
    slow.parts = 2;
    slow.partInterval = 5000;
    server.enqueue("/slow.deb", slow);
    DefaultUpdater updater;
    updater.setDownloadUrl(server.url("/slow.deb"));
    Downloader* downloader = updater.startDownload();
    QSignalSpy error(downloader, &Downloader::error);
    QTRY_VERIFY(QFileInfo(downloader->fileName()).size() > 0);
    QTest::ignoreMessage(QtWarningMsg, "\"Canceled\"");
    downloader->cancel();
    QCOMPARE(error.count(), 1);
    QCOMPARE(error.first().first().toString(), QStringLiteral("Canceled"));
    QCOMPARE(updater.status(), DefaultUpdater::UpdateDownloadFailed);
    QVERIFY(updater.startDownload() != nullptr);
}

void TestUpdateDownload::noLengthMeansNoProgress()
{
    HttpTestServer::Response unsized = HttpTestServer::answer(200, package);
    unsized.sendLength = false;
    server.enqueue("/unsized.deb", unsized);
    Downloader downloader;
    QSignalSpy ready(&downloader, &Downloader::fileReady);
    QSignalSpy progress(&downloader, &Downloader::progress);
    downloader.download(server.url("/unsized.deb"));
    QVERIFY(ready.wait());
    // The network layer reports the size it got at the very end; nothing is guessed before that.
    for (const QList<QVariant>& percent : qAsConst(progress))
        QCOMPARE(percent.first().toInt(), 100);
    QCOMPARE(QFileInfo(ready.first().first().toString()).size(), package.size());
}

void TestUpdateDownload::urlEndingInSlashNamesTheFileByPrefix()
{
    server.enqueue("/files/", HttpTestServer::answer(200, "x"));
    Downloader downloader;
    QSignalSpy ready(&downloader, &Downloader::fileReady);
    downloader.download(server.url("/files/"));
    QVERIFY(ready.wait());
    const QString name = QFileInfo(ready.first().first().toString()).fileName();
    QVERIFY2(QRegularExpression("^(3[0-9])+$").match(name).hasMatch(), qPrintable(name));
}

void TestUpdateDownload::installerCommandLine_data()
{
    QTest::addColumn<bool>("elevated");
    QTest::addColumn<QStringList>("calls");
    const QString file = "/tmp/a b.deb";
    QTest::newRow("elevated") << true << QStringList{"pkexec dpkg -i " + file, "dpkg -i " + file};
    QTest::newRow("plain") << false << QStringList{"dpkg -i " + file};
}

void TestUpdateDownload::installerCommandLine()
{
    QFETCH(bool, elevated);
    QFETCH(QStringList, calls);
    RunInstaller installer;
    installer.setCommand("dpkg");
    installer.setArguments({"-i", "%filename%"});
    installer.setRunElevated(elevated);
    QSignalSpy finished(&installer, &RunInstaller::finished);
    QSignalSpy error(&installer, &RunInstaller::error);
    installer.start("/tmp/a b.deb");
    QCOMPARE(finished.count(), 1);
    QCOMPARE(error.count(), 0);
    QCOMPARE(recorded(), calls);
}

void TestUpdateDownload::installerWithoutArgumentsRunsTheFile()
{
    const QString file = temp + "/self-installer";
    writeScript(file, "echo \"self $*\" >> '" + record.toUtf8() + "'\n");
    RunInstaller installer;
    installer.setCommand("dpkg");
    installer.setRunElevated(true);
    QSignalSpy finished(&installer, &RunInstaller::finished);
    installer.start(file);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(recorded(), QStringList{"self "});

    QSignalSpy error(&installer, &RunInstaller::error);
    installer.start(temp + "/missing");
    QCOMPARE(error.count(), 1);
    QCOMPARE(error.first().first().toString(), QStringLiteral("Update error: FailedToStart"));
}

void TestUpdateDownload::refusedInstallIsNoSuccess()
{
    qputenv("PAVO_TEST_DPKG_EXIT", "1");
    DefaultUpdater updater;
    RunInstaller installer;
    configure(updater, installer, "/files/pavo-server.deb");
    updater.setImmediateInstall(true);
    QSignalSpy status(&updater, &DefaultUpdater::statusChanged);
    QTest::ignoreMessage(QtWarningMsg, "\"Update error: exit code 1\"");
    updater.startDownload();
    QTRY_COMPARE(updater.status(), DefaultUpdater::UpdateDownloaded);
    QCOMPARE(recorded().size(), 2);
    QCOMPARE(status.count(), 2);
}

void TestUpdateDownload::setUpConfiguresTheProgramsUpdater()
{
    // Recent enough that the set-up's schedule stays away from the real feed.
    QSettings().setValue("updateCheck", QDateTime::currentSecsSinceEpoch());
    setUpUpdater();
    auto* updater = qobject_cast<DefaultUpdater*>(Updater::instance());
    QVERIFY(updater);
    QCOMPARE(updater->feedUrl(), QUrl(webServiceBaseUrl() + "/release.xml"));
    QCOMPARE(updater->feedUrl().toString(), QStringLiteral(PAVO_PRODUCT_URL "-ws/release.xml"));
    QCOMPARE(updater->downloadUrl(), QUrl("https://" PAVO_ORGANIZATION_DOMAIN "/files/pavo/pavo-server.deb"));
    QVERIFY(dynamic_cast<updater::SimpleXmlParser*>(updater->parser()));
    auto* installer = qobject_cast<RunInstaller*>(updater->installer());
    QVERIFY(installer);
    QCOMPARE(installer->command(), QStringLiteral("dpkg"));
    QCOMPARE(installer->arguments(), (QStringList{"-i", "%filename%"}));
    QVERIFY(installer->runElevated());
    QVERIFY(installer->relaunch());
    QVERIFY(!installer->detached());
    QCOMPARE(updater->checkInterval(), 86400);
}

void TestUpdateDownload::installsAtOnceWhenNobodyIsConnected()
{
    DefaultUpdater updater;
    RunInstaller installer;
    configure(updater, installer, "/files/pavo-server.deb");
    updater.setImmediateInstallAndRelaunch(true);
    updater.startDownload();
    QTRY_COMPARE(updater.status(), DefaultUpdater::UpToDate);
    QCOMPARE(recorded(),
             (QStringList{"pkexec dpkg -i " + updater.downloadedFile(), "dpkg -i " + updater.downloadedFile()}));
}

void TestUpdateDownload::installWaitsForQuitWhileAClientIsConnected()
{
    DefaultUpdater updater;
    RunInstaller installer;
    configure(updater, installer, "/files/pavo-server.deb");
    updater.setImmediateInstallAndRelaunch(false);
    updater.startDownload();
    QTRY_COMPARE(updater.status(), DefaultUpdater::UpdateDownloaded);
    QVERIFY(recorded().isEmpty());

    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    QCOMPARE(updater.status(), DefaultUpdater::UpToDate);
    QCOMPARE(recorded().last(), "dpkg -i " + updater.downloadedFile());
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.5"));
    TestUpdateDownload test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "testupdatedownload.moc"

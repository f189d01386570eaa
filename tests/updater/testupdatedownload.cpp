#include "tests/support/httptestserver.h"
#include "tests/support/testenvironment.h"
#include "updater/defaultupdater.h"
#include "updater/downloader.h"
#include "updater/runinstaller.h"

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
    // An updater that downloads the package from the test server and installs it through the
    // stand-in pkexec and dpkg.
    void configure(DefaultUpdater& updater, RunInstaller& installer);

private slots:
    void initTestCase();
    void init();

    void downloadIsPrivateAndComplete();
    void downloadErrors_data();
    void downloadErrors();
    void unsizedDownloadOfADirectoryUrl();
    void installerCommandLine_data();
    void installerCommandLine();
    void refusedInstallIsNoSuccess();
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
    writeScript(temp + "/self-installer", "echo \"self $*\" >> '" + record.toUtf8() + "'\n");
    server.setResponse("/files/pavo-server.deb", HttpTestServer::answer(200, package));
}

void TestUpdateDownload::init()
{
    QFile::remove(record);
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

void TestUpdateDownload::configure(DefaultUpdater& updater, RunInstaller& installer)
{
    updater.setDownloadUrl(server.url("/files/pavo-server.deb"));
    installer.setCommand("dpkg");
    installer.setArguments({"-i", "%filename%"});
    installer.setRunElevated(true);
    updater.setInstaller(&installer);
}

void TestUpdateDownload::downloadIsPrivateAndComplete()
{
    Downloader downloader;
    Downloader again;
    QSignalSpy ready(&downloader, &Downloader::fileReady);
    QSignalSpy progress(&downloader, &Downloader::progress);
    downloader.download(server.url("/files/pavo-server.deb"));
    again.download(server.url("/files/pavo-server.deb"));
    QVERIFY(ready.wait());
    const QFileInfo file(ready.first().first().toString());
    QCOMPARE(file.path(), temp);
    // Hex of the decimal digits of a 64-bit number: at least a dozen digits.
    QVERIFY2(QRegularExpression("^[0-9a-f]{24,}pavo-server\\.deb$").match(file.fileName()).hasMatch(),
             qPrintable(file.fileName()));
    QVERIFY(again.fileName() != file.filePath());
    QCOMPARE(file.permissions() & QFile::Permissions(0x77), QFile::Permissions()); // group and others
    QFile written(file.filePath());
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), package);
    QCOMPARE(progress.last().first().toInt(), 100);
}

void TestUpdateDownload::downloadErrors_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("404") << 404 << "server replied: Not Found";
    QTest::newRow("204") << 204 << "No Content";
    QTest::newRow("cancel") << 200 << "Canceled";
    // Another local user who knows the name in time must not get the package written elsewhere.
    QTest::newRow("planted link") << 200 << "Error opening file: ";
}

void TestUpdateDownload::downloadErrors()
{
    QFETCH(int, status);
    QFETCH(QString, message);
    const QByteArray row = QTest::currentDataTag();
    HttpTestServer::Response response = HttpTestServer::answer(status, status == 204 ? QByteArray() : package);
    response.pause = row == "cancel" ? 5000 : 0;
    server.enqueue("/broken.deb", response);
    const QString victim = environment.home() + "/victim";
    QFile(victim).open(QIODevice::WriteOnly);
    DefaultUpdater updater;
    updater.setDownloadUrl(server.url("/broken.deb"));
    Downloader* downloader = updater.startDownload();
    QSignalSpy error(downloader, &Downloader::error);
    QSignalSpy ready(downloader, &Downloader::fileReady);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(message));
    // The reply reaches the downloader only through the event loop, so the link is always first.
    if (row == "planted link")
        QVERIFY(QFile::link(victim, downloader->fileName()));
    if (row == "cancel") {
        QTRY_VERIFY(QFileInfo(downloader->fileName()).size() > 0);
        downloader->cancel();
    }
    QVERIFY(error.count() > 0 || error.wait());
    QVERIFY2(error.first().first().toString().contains(message), qPrintable(error.first().first().toString()));
    QCOMPARE(updater.status(), DefaultUpdater::UpdateDownloadFailed);
    QVERIFY(updater.downloadedFile().isEmpty());
    QCOMPARE(ready.count(), 0);
    QCOMPARE(error.count(), 1);
    QCOMPARE(QFileInfo(victim).size(), 0);
}

// Without a length no progress is guessed; the network layer reports the size at the very end.
void TestUpdateDownload::unsizedDownloadOfADirectoryUrl()
{
    HttpTestServer::Response unsized = HttpTestServer::answer(200, package);
    unsized.sendLength = false;
    server.enqueue("/files/", unsized);
    Downloader downloader;
    QSignalSpy ready(&downloader, &Downloader::fileReady);
    QSignalSpy progress(&downloader, &Downloader::progress);
    downloader.download(server.url("/files/"));
    QVERIFY(ready.wait());
    for (const QList<QVariant>& percent : qAsConst(progress))
        QCOMPARE(percent.first().toInt(), 100);
    const QFileInfo file(ready.first().first().toString());
    QCOMPARE(file.size(), package.size());
    QVERIFY2(QRegularExpression("^(3[0-9])+$").match(file.fileName()).hasMatch(), qPrintable(file.fileName()));
}

void TestUpdateDownload::installerCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("elevated");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("calls");
    const QStringList dpkg{"-i", "%filename%"};
    const QString file = "/tmp/a b.deb";
    QTest::newRow("elevated") << dpkg << true << file << QStringList{"pkexec dpkg -i " + file, "dpkg -i " + file};
    QTest::newRow("plain") << dpkg << false << file << QStringList{"dpkg -i " + file};
    QTest::newRow("no arguments") << QStringList() << true << temp + "/self-installer" << QStringList{"self "};
    QTest::newRow("cannot start") << QStringList() << true << temp + "/missing" << QStringList();
}

void TestUpdateDownload::installerCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, elevated);
    QFETCH(QString, file);
    QFETCH(QStringList, calls);
    RunInstaller installer;
    installer.setCommand("dpkg");
    installer.setArguments(arguments);
    installer.setRunElevated(elevated);
    QSignalSpy finished(&installer, &RunInstaller::finished);
    QSignalSpy error(&installer, &RunInstaller::error);
    installer.start(file);
    QCOMPARE(recorded(), calls);
    QCOMPARE(finished.count(), calls.isEmpty() ? 0 : 1);
    QCOMPARE(error.count(), calls.isEmpty() ? 1 : 0);
}

// A refusal (a wrong password, a broken package) must not pass for a finished installation.
void TestUpdateDownload::refusedInstallIsNoSuccess()
{
    qputenv("PAVO_TEST_DPKG_EXIT", "1");
    DefaultUpdater updater;
    RunInstaller installer;
    configure(updater, installer);
    updater.setImmediateInstallAndRelaunch(true);
    QTest::ignoreMessage(QtWarningMsg, "\"Update error: exit code 1\"");
    updater.startDownload();
    QTRY_COMPARE(recorded().size(), 2);
    QCOMPARE(updater.status(), DefaultUpdater::UpdateDownloaded);
    qunsetenv("PAVO_TEST_DPKG_EXIT");
}

void TestUpdateDownload::installWaitsForQuitWhileAClientIsConnected()
{
    DefaultUpdater updater;
    RunInstaller installer;
    configure(updater, installer);
    updater.startDownload();
    QTRY_COMPARE(updater.status(), DefaultUpdater::UpdateDownloaded);
    QVERIFY(recorded().isEmpty());

    QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
    QCOMPARE(updater.status(), DefaultUpdater::UpToDate);
    QCOMPARE(recorded().last(), "dpkg -i " + updater.downloadedFile());
}

QTEST_GUILESS_MAIN(TestUpdateDownload)
#include "testupdatedownload.moc"

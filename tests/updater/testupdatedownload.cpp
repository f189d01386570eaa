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

private slots:
    void initTestCase();
    void init();

    void downloadIsPrivateAndComplete_data();
    void downloadIsPrivateAndComplete();
    void downloadErrors_data();
    void downloadErrors();
    void installerCommandLine_data();
    void installerCommandLine();
    // Last: it runs the application's event loop to its end.
    void installTime_data();
    void installTime();
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
    writeScript(bin + "/dpkg", "echo \"dpkg $*\" >> '" + record.toUtf8() + "'\n");
    writeScript(temp + "/self-installer", "echo \"self $*\" >> '" + record.toUtf8() + "'\n");
    writeScript(temp + "/refusing-installer", "echo \"refuse $*\" >> '" + record.toUtf8() + "'\nexit 1\n");
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

void TestUpdateDownload::downloadIsPrivateAndComplete_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("sized");
    QTest::addColumn<QString>("name");
    // Hex of the decimal digits of a 64-bit number: at least a dozen digits.
    QTest::newRow("sized") << QByteArray("/files/pavo-server.deb") << true << "^[0-9a-f]{24,}pavo-server\\.deb$";
    // Without a length no progress is guessed; the network layer reports the size at the very end.
    QTest::newRow("unsized directory") << QByteArray("/files/") << false << "^(3[0-9])+$";
}

void TestUpdateDownload::downloadIsPrivateAndComplete()
{
    QFETCH(QByteArray, path);
    QFETCH(bool, sized);
    QFETCH(QString, name);
    HttpTestServer::Response response = HttpTestServer::answer(200, package);
    response.sendLength = sized;
    server.enqueue(path, response);
    Downloader downloader;
    Downloader again;
    QSignalSpy ready(&downloader, &Downloader::fileReady);
    QSignalSpy progress(&downloader, &Downloader::progress);
    downloader.download(server.url(path));
    again.download(server.url("/files/pavo-server.deb"));
    QVERIFY(ready.wait());
    const QFileInfo file(ready.first().first().toString());
    QCOMPARE(file.path(), temp);
    QVERIFY2(QRegularExpression(name).match(file.fileName()).hasMatch(), qPrintable(file.fileName()));
    QVERIFY(again.fileName() != file.filePath());
    QCOMPARE(file.permissions() & QFile::Permissions(0x77), QFile::Permissions()); // group and others
    QFile written(file.filePath());
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), package);
    for (const QList<QVariant>& percent : qAsConst(progress))
        QVERIFY(sized || percent.first().toInt() == 100);
    QCOMPARE(progress.last().first().toInt(), 100);
}

void TestUpdateDownload::downloadErrors_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("404") << 404 << "server replied: Not Found";
    QTest::newRow("204") << 204 << "No Content";
    // Another local user who knows the name in time must not get the package written elsewhere.
    QTest::newRow("planted link") << 200 << "Error opening file: ";
}

void TestUpdateDownload::downloadErrors()
{
    QFETCH(int, status);
    QFETCH(QString, message);
    server.enqueue("/broken.deb", HttpTestServer::answer(status, status == 204 ? QByteArray() : package));
    const QString victim = environment.home() + "/victim";
    QFile(victim).open(QIODevice::WriteOnly);
    DefaultUpdater updater;
    updater.setDownloadUrl(server.url("/broken.deb"));
    Downloader* downloader = updater.startDownload();
    QSignalSpy error(downloader, &Downloader::error);
    QSignalSpy ready(downloader, &Downloader::fileReady);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(message));
    // The reply reaches the downloader only through the event loop, so the link is always first.
    if (QByteArray(QTest::currentDataTag()) == "planted link")
        QVERIFY(QFile::link(victim, downloader->fileName()));
    QVERIFY(error.wait());
    QVERIFY2(error.first().first().toString().contains(message), qPrintable(error.first().first().toString()));
    QCOMPARE(updater.status(), DefaultUpdater::UpdateDownloadFailed);
    QVERIFY(updater.downloadedFile().isEmpty());
    QCOMPARE(ready.count() + error.count(), 1);
    QCOMPARE(QFileInfo(victim).size(), 0);
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

void TestUpdateDownload::installTime_data()
{
    QTest::addColumn<bool>("idle");
    // A refusal (a wrong password, a broken package) must not pass for a finished installation.
    QTest::newRow("nobody connected, refused") << true;
    QTest::newRow("client connected") << false;
}

// At once while nobody is connected, else on the way out.
void TestUpdateDownload::installTime()
{
    QFETCH(bool, idle);
    DefaultUpdater updater;
    RunInstaller installer;
    installer.setCommand(idle ? temp + "/refusing-installer" : "dpkg");
    installer.setArguments({"%filename%"});
    updater.setInstaller(&installer);
    updater.setDownloadUrl(server.url("/files/pavo-server.deb"));
    updater.setImmediateInstallAndRelaunch(idle);
    if (idle)
        QTest::ignoreMessage(QtWarningMsg, "\"Update error: exit code 1\"");
    updater.startDownload();
    QTRY_COMPARE(updater.status(), DefaultUpdater::UpdateDownloaded);
    QCOMPARE(recorded().size(), idle ? 1 : 0);
    if (idle)
        return;
    QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
    QCOMPARE(updater.status(), DefaultUpdater::UpToDate);
    QCOMPARE(recorded(), QStringList{"dpkg " + updater.downloadedFile()});
}

QTEST_GUILESS_MAIN(TestUpdateDownload)
#include "testupdatedownload.moc"

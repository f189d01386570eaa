#include "http/webservice.h"
#include "platform/extension.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testenvironment.h"
#include "tests/support/warningcounter.h"
#include "updater/defaultupdater.h"
#include "updater/dialog.h"
#include "updater/downloader.h"
#include "updater/downloadwidget.h"
#include "updater/runinstaller.h"
#include "updater/signatureverifier.h"
#include "updater/simplexmlparser.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStackedLayout>
#include <QtTest>

using updater::DefaultUpdater;
using updater::Downloader;

namespace {

const QString lastCheck = QStringLiteral("updateCheck");
const QByteArray package = QByteArray("Debian package ") + QByteArray(20000, 'p');

QByteArray feed(const QByteArray& version, const QUrl& url, const QByteArray& signature)
{
    const QByteArray signed_ = signature.isNull() ? QByteArray() : "<signature>" + signature + "</signature>";
    return "<release><version>" + version + "</version><url>" + url.toEncoded() + "</url>" + signed_ + "</release>";
}

void writeScript(const QString& path, const QByteArray& body)
{
    QFile script(path);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\n" + body);
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

QWidget* currentPage(QWidget* dialog)
{
    return dialog->findChild<QStackedLayout*>()->currentWidget();
}

QAbstractButton* button(QWidget* page, QDialogButtonBox::ButtonRole role)
{
    auto* box = page->findChild<QDialogButtonBox*>();
    for (QAbstractButton* button : box->buttons())
        if (box->buttonRole(button) == role)
            return button;
    return nullptr;
}

} // namespace

class TestUpdater : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    HttpTestServer server{HttpTestServer::Scheme::Https};
    HttpTestServer plain; // where nothing may ever be fetched from
    updater::SimpleXmlParser parser;
    QString temp;
    QString record;

    QStringList recorded() const
    {
        QFile file(record);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)
                                              : QStringList();
    }

    // A program running 1.5 that knows of 1.6 at /pavo.deb; its feed offers `offered` (null: no feed).
    void offer(DefaultUpdater& updater, const QByteArray& offered, Updater::Status status = Updater::Unknown)
    {
        const QByteArray document = feed(offered, server.url("/pavo.deb"), HttpTestServer::releaseSignature(package));
        server.setResponse("/release.xml", HttpTestServer::answer(offered.isNull() ? 404 : 200, document));
        updater.setCurrentVersion("1.5");
        updater.setVersion("1.6");
        updater.setFeedUrl(server.url("/release.xml"));
        updater.setDownloadUrl(server.url("/pavo.deb"));
        updater.setParser(&parser);
        updater.setStatus(status);
    }

private slots:
    void initTestCase()
    {
        temp = environment.home() + "/tmp";
        record = environment.home() + "/calls";
        QVERIFY(QDir().mkpath(temp));
        qputenv("TMPDIR", temp.toUtf8());
        qputenv("PATH", (temp + ':').toUtf8() + qgetenv("PATH"));
        writeScript(temp + "/pkexec", "echo \"pkexec $*\" >> '" + record.toUtf8() + "'\nexec \"$@\"\n");
        writeScript(temp + "/dpkg", "echo \"dpkg $*\" >> '" + record.toUtf8() + "'\n");
        writeScript(temp + "/refusing-installer", "echo \"refuse $*\" >> '" + record.toUtf8() + "'\nexit 1\n");
        writeScript(temp + "/install-extension.sh", "echo \"install-extension $*\" >> '" + record.toUtf8() + "'\n");
        updater::SignatureVerifier::setPublicKey(HttpTestServer::releasePublicKey());
        server.setResponse("/pavo.deb", HttpTestServer::answer(200, package));
    }

    void init()
    {
        QFile::remove(record);
        // Keeps the schedule of every updater made here from checking the feed.
        QSettings().setValue(lastCheck, QDateTime::currentSecsSinceEpoch());
    }

    void feedLetsTheLastElementsWin()
    {
        DefaultUpdater updater;
        updater.setParser(&parser);
        parser.parse("<?xml version=\"1.0\"?><feed><version>9.9</version><release><version>1.6</version>"
                     "<url>https://a.invalid/1.6.deb</url><signature>\n c2ln\n</signature></release>"
                     "<version>1.7</version></feed>");
        QVERIFY(!parser.error());
        QCOMPARE(updater.version(), QStringLiteral("1.7"));
        QCOMPARE(updater.downloadUrl(), QUrl("https://a.invalid/1.6.deb"));
        QCOMPARE(updater.signature(), QByteArray("c2ln"));
        // A signature vouches for its own feed only.
        parser.parse("<release><version>1.8</version></release>");
        QCOMPARE(updater.downloadUrl(), QUrl("https://a.invalid/1.6.deb"));
        QCOMPARE(updater.signature(), QByteArray());
    }

    void userAskedCheck_data()
    {
        QTest::addColumn<QByteArray>("offered");
        QTest::addColumn<bool>("automatic");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::addColumn<QString>("told"); // empty: the dialog opens instead
        const QString none = "There are currently no updates available.";
        const int available = DefaultUpdater::UpdateAvailable, downloaded = DefaultUpdater::UpdateDownloaded;
        const int upToDate = DefaultUpdater::UpToDate;
        QTest::newRow("newer") << QByteArray("1.6") << false << 0 << available << QString();
        QTest::newRow("same") << QByteArray("1.5") << false << 0 << upToDate << none;
        QTest::newRow("empty") << QByteArray("") << false << 0 << upToDate << none;
        // A downloaded update is not fetched again.
        QTest::newRow("downloaded") << QByteArray("2.0") << true << downloaded << upToDate << none;
        // Not recorded, so that the next poll tries again.
        QTest::newRow("missing") << QByteArray() << false << available << upToDate
                                 << "Cannot check for updates: Not Found";
        QTest::newRow("download") << QByteArray("1.6") << true << 0 << downloaded << QString();
    }

    void userAskedCheck()
    {
        QFETCH(QByteArray, offered);
        QFETCH(bool, automatic);
        QFETCH(int, before);
        QFETCH(QString, told);
        QSettings().setValue(lastCheck, 1000);
        DefaultUpdater updater;
        offer(updater, offered, DefaultUpdater::Status(before));
        updater.setAutomaticDownload(automatic);
        if (offered.isNull())
            QTest::ignoreMessage(
                QtWarningMsg,
                QRegularExpression("^Update check failed: https://127.0.0.1:\\d+/release.xml: 404 Not Found$"));
        QString shown;
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&shown] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown = box->text();
                box->done(0);
            }
        });
        closer.start(10);
        updater.checkAndShowUI();
        QTRY_COMPARE(shown, told);
        if (told.isEmpty()) {
            QTRY_VERIFY(qobject_cast<updater::Dialog*>(QApplication::activeModalWidget()));
            QWidget* page = currentPage(QApplication::activeModalWidget());
            if (automatic) {
                QTRY_COMPARE(updater.status(), DefaultUpdater::UpdateDownloaded);
                QTRY_VERIFY(button(page, QDialogButtonBox::RejectRole)->isHidden());
            }
            // OK once downloaded, else Remind Me Later.
            button(page, automatic ? QDialogButtonBox::AcceptRole : QDialogButtonBox::RejectRole)->click();
            QTRY_VERIFY(!QApplication::activeModalWidget());
        }
        QTEST(int(updater.status()), "after");
        const qint64 recorded = offered.isNull() ? 1000 : QDateTime::currentSecsSinceEpoch();
        QVERIFY(qAbs(QSettings().value(lastCheck).toLongLong() - recorded) < 5);
    }

    // The first due check comes soon after start and asks the user; its time, shared by all
    // updaters, makes the next one wait for a whole interval.
    void firstDueCheckRunsSoonAfterStartForAll()
    {
        QSettings().setValue(lastCheck, 1000);
        DefaultUpdater::setFirstCheckDelay(20);
        DefaultUpdater first;
        offer(first, "1.6");
        first.setAutomaticDownload(false);
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

    void texts_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("label");
        // The texts that are built, and the button hidden while a download runs.
        const QString v = "Pavo 1.6", available = "Version Pavo 1.6 is available";
        const QString downloading = "Downloading update...";
        QTest::newRow("available") << 2 << v << available + "..."
                                   << "Download Update" << true << available + ".";
        QTest::newRow("downloading") << 3 << v << "Downloading version Pavo 1.6..." << downloading << false
                                     << downloading;
        QTest::newRow("failed, no display version")
            << 5 << ""
            << "Version 1.6 download failed"
            << "Retry Update Download" << true << "Version 1.6 download failed.";
    }

    void texts()
    {
        QFETCH(int, status);
        QFETCH(QString, display);
        DefaultUpdater updater;
        updater.setVersion("1.6");
        updater.setDisplayVersion(display);
        QWidget window;
        updater.getButton()->setParent(&window);
        updater.getLabel()->setParent(&window);
        // Through a hidden button and back.
        updater.setStatus(DefaultUpdater::DownloadingUpdate);
        updater.setStatus(DefaultUpdater::Status(status));
        QTEST(updater.getAction()->text(), "action");
        QTEST(updater.getButton()->text(), "button");
        QTEST(!updater.getButton()->isHidden(), "shown");
        QTEST(updater.getLabel()->text(), "label");
    }

    // A download page left behind for a failed download is not the page of the next one: Cancel
    // there must stop the download that runs.
    void dialogFollowsStatusAndCancels()
    {
        HttpTestServer::Response slow = HttpTestServer::answer(200, package);
        slow.pause = 5000;
        server.enqueue("/pavo.deb", slow);
        DefaultUpdater updater;
        offer(updater, "1.6", DefaultUpdater::UpToDate);
        updater.setDisplayVersion("Pavo 1.6");
        updater.showDialog();
        QPointer<QWidget> dialog = QApplication::activeModalWidget();
        QCOMPARE(qobject_cast<QLabel*>(currentPage(dialog))->text(), "You already have the latest version");
        updater.setStatus(DefaultUpdater::UpdateDownloadFailed);
        QWidget* failed = currentPage(dialog);
        QVERIFY(qobject_cast<updater::DownloadWidget*>(failed));
        updater.setStatus(DefaultUpdater::UpdateDownloaded);
        QCOMPARE(currentPage(dialog), failed);

        updater.setStatus(DefaultUpdater::UpdateAvailable);
        const QString offered = QApplication::applicationDisplayName() + " 1.6 is now available. You have 1.5.";
        QCOMPARE(currentPage(dialog)->findChildren<QLabel*>().at(1)->text(), offered);
        button(currentPage(dialog), QDialogButtonBox::AcceptRole)->click();
        QWidget* page = currentPage(dialog);
        QVERIFY(qobject_cast<updater::DownloadWidget*>(page));
        const QString partial = updater.runningDownload()->fileName();
        QTRY_VERIFY(QFileInfo(partial).size() > 0);
        QTest::ignoreMessage(QtWarningMsg, "\"Canceled\"");
        button(page, QDialogButtonBox::RejectRole)->click();
        QTRY_VERIFY(!dialog);
        QCOMPARE(updater.status(), DefaultUpdater::UpdateDownloadFailed);
        QVERIFY(!updater.runningDownload());
        QVERIFY(!QFile::exists(partial));
    }

    void download_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("sized");
        QTest::addColumn<QString>("outcome"); // the file name's pattern, or the error's start
        // Hex of the decimal digits of a 64-bit number: at least a dozen digits.
        QTest::newRow("sized") << QByteArray("/pavo.deb") << 200 << true << "^[0-9a-f]{24,}pavo\\.deb$";
        // Without a length no progress is guessed; the network layer reports the size at the very end.
        QTest::newRow("unsized directory") << QByteArray("/") << 200 << false << "^(3[0-9])+$";
        QTest::newRow("404") << QByteArray("/broken.deb") << 404 << true << "server replied: Not Found";
        QTest::newRow("204") << QByteArray("/broken.deb") << 204 << true << "No Content";
        // Another local user who knows the name in time must not get the package written elsewhere.
        QTest::newRow("planted link") << QByteArray("/broken.deb") << 200 << true << "Error opening file: ";
        QTest::newRow("http") << QByteArray("/broken.deb") << 200 << true << "Not downloading http://[^ ]+: not https";
    }

    void download()
    {
        QFETCH(QByteArray, path);
        QFETCH(int, status);
        QFETCH(bool, sized);
        QFETCH(QString, outcome);
        HttpTestServer::Response response = HttpTestServer::answer(status, status == 204 ? QByteArray() : package);
        response.sendLength = sized;
        server.enqueue(path, response);
        const QString victim = environment.home() + "/victim";
        QFile(victim).open(QIODevice::WriteOnly);
        DefaultUpdater updater;
        const bool overHttp = QByteArray(QTest::currentDataTag()) == "http";
        updater.setDownloadUrl((overHttp ? plain : server).url(path));
        updater.setSignature(HttpTestServer::releaseSignature(package));
        Downloader* downloader = updater.startDownload();
        QSignalSpy progress(downloader, &Downloader::progress);
        QSignalSpy error(downloader, &Downloader::error);
        QSignalSpy ready(downloader, &Downloader::fileReady);
        // The reply reaches the downloader only through the event loop, so the link is always first.
        if (QByteArray(QTest::currentDataTag()) == "planted link")
            QVERIFY(QFile::link(victim, downloader->fileName()));
        if (path == "/broken.deb") {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(outcome));
            QVERIFY(error.wait());
            QCOMPARE(updater.status(), DefaultUpdater::UpdateDownloadFailed);
            QVERIFY(updater.downloadedFile().isEmpty());
            QCOMPARE(ready.count() + error.count(), 1);
            QCOMPARE(QFileInfo(victim).size(), 0);
            QVERIFY(plain.requests().isEmpty());
            // Nothing half-written is left, but a name someone else took stays theirs.
            QCOMPARE(QFileInfo::exists(downloader->fileName()), QByteArray(QTest::currentDataTag()) == "planted link");
            return;
        }
        QVERIFY(ready.wait());
        const QFileInfo file(ready.first().first().toString());
        QCOMPARE(file.path(), temp);
        QVERIFY2(QRegularExpression(outcome).match(file.fileName()).hasMatch(), qPrintable(file.fileName()));
        QCOMPARE(file.permissions() & QFile::Permissions(0x77), QFile::Permissions()); // group and others
        QFile written(file.filePath());
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), package);
        for (const QList<QVariant>& percent : qAsConst(progress))
            QVERIFY(sized || percent.first().toInt() == 100);
        QCOMPARE(progress.last().first().toInt(), 100);
    }

    void onlyNewerSignedReleasesOverHttps_data()
    {
        QTest::addColumn<bool>("extension");
        QTest::addColumn<QString>("feedAt"); // "https", "http", or "redirect" (from https to http)
        QTest::addColumn<bool>("httpUrl");
        QTest::addColumn<QByteArray>("signature");
        QTest::addColumn<bool>("newer");
        QTest::addColumn<QString>("warning"); // none: installed
        const QByteArray good = HttpTestServer::releaseSignature(package);
        const QByteArray other = HttpTestServer::releaseSignature("another release");
        const QString refused = "^Update check failed: (http|https)://127.0.0.1:\\d+/[a-z-]+.xml: ";
        const QString forged = "Signature check failed for https://127.0.0.1:\\d+/pavo.deb: ";
        // The package runs as root, the extension inside the user's shell: the same rules for both.
        for (const bool extension : {false, true}) {
            const auto row = [extension](const char* name) -> QTestData& {
                return QTest::newRow(qPrintable(QString(extension ? "extension, " : "program, ") + name)) << extension;
            };
            row("signed") << "https" << false << good << true << QString();
            row("another file's signature")
                << "https" << false << other << true << forged + "the signature does not match";
            row("damaged signature") << "https" << false << good.mid(4) << true
                                     << forged + "the signature is not the base64";
            row("no signature") << "https" << false << QByteArray() << true << forged + "the feed carries no signature";
            row("older") << "https" << false << good << false << QString();
            row("http feed") << "http" << false << good << true << refused + "not https$";
            row("http url") << "https" << true << good << true << refused + "it offers http://[^ ]+, not https$";
            row("feed redirected to http") << "redirect" << false << good << true << refused + "302 Insecure redirect$";
        }
    }

    void onlyNewerSignedReleasesOverHttps()
    {
        QFETCH(bool, extension);
        QFETCH(QString, feedAt);
        QFETCH(bool, httpUrl);
        QFETCH(QByteArray, signature);
        QFETCH(bool, newer);
        QFETCH(QString, warning);
        const QByteArray feedPath = extension ? "/gnome-shell-extension.xml" : "/release.xml";
        const QByteArray version = extension ? (newer ? "8" : "6") : (newer ? "1.6" : "1.4");
        const QByteArray document = feed(version, (httpUrl ? plain : server).url("/pavo.deb"), signature);
        server.setResponse(feedPath, HttpTestServer::answer(200, document));
        plain.setResponse(feedPath, HttpTestServer::answer(200, document));
        plain.setResponse("/pavo.deb", HttpTestServer::answer(200, package));
        if (feedAt == "redirect") {
            HttpTestServer::Response moved = HttpTestServer::answer(302);
            moved.headers = "Location: " + plain.url(feedPath).toEncoded() + "\r\n";
            server.enqueue(feedPath, moved);
        }
        const QByteArray base = (feedAt == "http" ? plain : server).url(QString()).toEncoded();
        QObject owner;
        DefaultUpdater* updater;
        if (extension) {
            environment.writeFile("data/gnome-shell/extensions/" + ExtensionUuid + "/metadata.json",
                                  R"({"version": 7})");
            setWebServiceBaseUrl(base);
            updater = createExtensionUpdater(temp, &owner);
        } else {
            updater = new DefaultUpdater(&owner);
            updater->setCurrentVersion("1.5");
            updater->setFeedUrl(QUrl(base + feedPath));
            updater->setParser(&parser);
            auto* installer = new updater::RunInstaller(updater);
            installer->setCommand("dpkg");
            installer->setArguments({"-i", "%filename%"});
            installer->setRunElevated(true);
            updater->setInstaller(installer);
            updater->setImmediateInstall(true);
        }
        if (!warning.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warning));
        const int downloads = server.count("/pavo.deb");
        const int plainRequests = plain.requests().size();
        const bool forgery = warning.startsWith("Signature");
        const QStringList kept = QDir(temp).entryList({"*pavo.deb"}); // downloaded, not installed, by others
        updater->checkWithoutUI();
        QTRY_COMPARE(updater->status(), forgery ? DefaultUpdater::UpdateDownloadFailed : DefaultUpdater::UpToDate);
        const bool installed = warning.isEmpty() && newer;
        QCOMPARE(server.count("/pavo.deb") - downloads, installed || forgery ? 1 : 0);
        QCOMPARE(plain.requests().size(), plainRequests);
        const QString installCall = extension ? "^install-extension " : "^dpkg -i ";
        QCOMPARE(recorded().filter(QRegularExpression(installCall + temp + "/[0-9a-f]+pavo\\.deb$")).size(),
                 int(installed));
        QCOMPARE(QDir(temp).entryList({"*pavo.deb"}), kept);
    }

    // A feed that stays away is polled about every 86 seconds: the log says so once per cause.
    void checkFailureLoggedOnceUntilItChanges()
    {
        const WarningCounter failures("^Update check failed: https://127.0.0.1:\\d+/release.xml: ");
        DefaultUpdater updater;
        updater.setCurrentVersion("1.5");
        updater.setFeedUrl(server.url("/release.xml"));
        updater.setParser(&parser);
        const auto checkAnswered = [&](int status) {
            server.enqueue("/release.xml", HttpTestServer::answer(status, feed("1.5", server.url("/pavo.deb"), {})));
            updater.setStatus(DefaultUpdater::Unknown);
            updater.checkWithoutUI();
            QTRY_COMPARE(updater.status(), DefaultUpdater::UpToDate);
        };
        for (const int status : {404, 404, 410, 410, 200, 410})
            checkAnswered(status);
        QCOMPARE(failures.count(), 3);
    }

    // Last: it runs the application's event loop to its end.
    void installTime_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("elevated");
        QTest::addColumn<bool>("idle");
        QTest::addColumn<QStringList>("calls"); // %f: the downloaded file
        QTest::addColumn<QString>("warning");   // none: installed
        QTest::newRow("nobody connected")
            << "dpkg" << true << true << QStringList{"pkexec dpkg -i %f", "dpkg -i %f"} << QString();
        // A refusal (a wrong password, a broken package) must not pass for a finished installation.
        QTest::newRow("refused") << temp + "/refusing-installer" << false << true << QStringList{"refuse -i %f"}
                                 << "\"Update error: exit code 1\"";
        QTest::newRow("cannot start") << temp + "/missing" << false << true << QStringList()
                                      << "\"Update error: FailedToStart\"";
        QTest::newRow("client connected") << "dpkg" << false << false << QStringList{"dpkg -i %f"} << QString();
    }

    // At once while nobody is connected, else on the way out, which Restart to Update takes at once.
    void installTime()
    {
        QFETCH(QString, command);
        QFETCH(bool, elevated);
        QFETCH(bool, idle);
        QFETCH(QStringList, calls);
        QFETCH(QString, warning);
        DefaultUpdater updater;
        updater::RunInstaller installer;
        installer.setCommand(command);
        installer.setArguments({"-i", "%filename%"});
        installer.setRunElevated(elevated);
        updater.setInstaller(&installer);
        updater.setDownloadUrl(server.url("/pavo.deb"));
        updater.setSignature(HttpTestServer::releaseSignature(package));
        updater.setImmediateInstallAndRelaunch(idle);
        if (!warning.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
        QSignalSpy ready(updater.startDownload(), &Downloader::fileReady);
        QTRY_COMPARE(ready.count(), 1);
        const QString file = ready.first().first().toString();
        if (!idle) {
            QVERIFY(recorded().isEmpty());
            QTimer::singleShot(0, &updater, &DefaultUpdater::onUserAction);
            QTimer::singleShot(5000, &updater, [] { QCoreApplication::exit(1); });
            QCOMPARE(QCoreApplication::exec(), 0);
        }
        QCOMPARE(recorded(), calls.replaceInStrings("%f", file));
        QCOMPARE(updater.status(), warning.isEmpty() ? DefaultUpdater::UpToDate : DefaultUpdater::UpdateDownloaded);
        // Kept after a failed installation for another try on the way out.
        QCOMPARE(QFile::exists(file), !warning.isEmpty());
    }
};

QTEST_MAIN(TestUpdater)
#include "testupdater.moc"

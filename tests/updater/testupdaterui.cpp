#include "tests/support/httptestserver.h"
#include "tests/support/testenvironment.h"
#include "updater/defaultupdater.h"
#include "updater/dialog.h"
#include "updater/downloader.h"
#include "updater/downloadwidget.h"
#include "updater/simplexmlparser.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStackedLayout>
#include <QtTest>

using updater::DefaultUpdater;
using updater::DownloadWidget;

namespace {

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

class TestUpdaterUI : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    HttpTestServer server;
    updater::SimpleXmlParser parser;

    // Version 1.6, at /pavo.deb, for a program running 1.5.
    void offer(DefaultUpdater& updater, Updater::Status status)
    {
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
        qputenv("TMPDIR", environment.home().toUtf8());
        server.setResponse("/pavo.deb", HttpTestServer::answer(200, QByteArray(20000, 'p')));
        // Keeps the schedule of every updater made here from checking the feed.
        QSettings().setValue("updateCheck", QDateTime::currentSecsSinceEpoch());
    }

    void texts_data();
    void texts();
    void pageFollowsStatus();
    void userAskedCheck_data();
    void userAskedCheck();
    void cancelDuringDownload();
    void restartToUpdateQuitsWithoutCheck();
};

void TestUpdaterUI::texts_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("label");
    const QString check = "Check for Updates", restart = "Restart to Update", retry = "Retry Update Download";
    const QString v = "Pavo 1.6", available = "Version Pavo 1.6 is available",
                  failed = "Version Pavo 1.6 download failed";
    const QString downloading = "Downloading update...";
    QTest::newRow("unknown") << 0 << v << check + "..." << check << true << "Didn't check for updates.";
    QTest::newRow("up to date") << 1 << v << check + "..." << check << true << "You have the latest version.";
    QTest::newRow("available") << 2 << v << available + "..."
                               << "Download Update" << true << available + ".";
    QTest::newRow("downloading") << 3 << v << "Downloading version Pavo 1.6..." << downloading << false << downloading;
    QTest::newRow("downloaded") << 4 << v << restart << restart << true
                                << "An update has been downloaded and is ready to be installed.";
    QTest::newRow("failed") << 5 << v << failed << retry << true << failed + ".";
    QTest::newRow("no display version") << 5 << ""
                                        << "Version 1.6 download failed" << retry << true
                                        << "Version 1.6 download failed.";
}

void TestUpdaterUI::texts()
{
    QFETCH(int, status);
    QFETCH(QString, display);
    QFETCH(QString, label);
    DefaultUpdater updater;
    updater.setVersion("1.6");
    updater.setDisplayVersion(display);
    QWidget window;
    updater.getButton()->setParent(&window);
    updater.getLabel()->setParent(&window);
    window.show();
    // Through a hidden button and back.
    updater.setStatus(DefaultUpdater::DownloadingUpdate);
    updater.setStatus(DefaultUpdater::Status(status));
    QTEST(updater.getAction()->text(), "action");
    QTEST(updater.getButton()->text(), "button");
    QTEST(updater.getButton()->isVisible(), "shown");
    QCOMPARE(updater.getLabel()->text(), label);
    // A label made now starts with the same text.
    delete updater.getLabel();
    QScopedPointer<QLabel> fresh(updater.getLabel());
    QCOMPARE(fresh->text(), label);
}

void TestUpdaterUI::pageFollowsStatus()
{
    DefaultUpdater updater;
    offer(updater, DefaultUpdater::UpdateAvailable);
    updater.setDisplayVersion("Pavo 1.6");
    updater.showDialog();
    QPointer<QWidget> dialog = QApplication::activeModalWidget();
    const QString offered = QApplication::applicationDisplayName() + " 1.6 is now available. You have 1.5.";
    QCOMPARE(currentPage(dialog)->findChildren<QLabel*>().at(1)->text(), offered);

    updater.setStatus(DefaultUpdater::UpdateDownloadFailed);
    QWidget* download = currentPage(dialog);
    QVERIFY(qobject_cast<DownloadWidget*>(download));
    updater.setStatus(DefaultUpdater::UpdateDownloaded);
    updater.setStatus(DefaultUpdater::Unknown);
    QCOMPARE(currentPage(dialog), download);

    updater.setStatus(DefaultUpdater::UpToDate);
    QCOMPARE(qobject_cast<QLabel*>(currentPage(dialog))->text(), "You already have the latest version");
    // The download page that left is gone; the next download gets a new one.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    updater.setStatus(DefaultUpdater::UpdateDownloadFailed);
    QVERIFY(qobject_cast<DownloadWidget*>(currentPage(dialog)));
    dialog->close();
    QTRY_VERIFY(!dialog);
}

void TestUpdaterUI::userAskedCheck_data()
{
    QTest::addColumn<QByteArray>("offered");
    QTest::addColumn<QString>("told");
    QTest::newRow("nothing new") << QByteArray("1.5") << "There are currently no updates available.";
    QTest::newRow("feed missing") << QByteArray() << "Cannot check for updates: Not Found";
    // Nothing told: the download runs in the dialog.
    QTest::newRow("new version") << QByteArray("1.6") << QString();
}

// The menu action while up to date.
void TestUpdaterUI::userAskedCheck()
{
    QFETCH(QByteArray, offered);
    QFETCH(QString, told);
    const QByteArray feed =
        "<release><version>" + offered + "</version><url>" + server.url("/pavo.deb").toEncoded() + "</url></release>";
    server.enqueue("/release.xml", HttpTestServer::answer(offered.isNull() ? 404 : 200, feed));
    if (offered.isNull())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Update check failed 404"));
    DefaultUpdater updater;
    offer(updater, DefaultUpdater::UpToDate);
    QString shown;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&shown] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->done(0);
        }
    });
    closer.start(10);
    updater.onUserAction();
    QTRY_COMPARE(shown, told);
    if (!told.isEmpty())
        return;
    QTRY_VERIFY(qobject_cast<updater::Dialog*>(QApplication::activeModalWidget()));
    QWidget* page = currentPage(QApplication::activeModalWidget());
    QTRY_COMPARE(updater.status(), DefaultUpdater::UpdateDownloaded);
    QTRY_VERIFY(button(page, QDialogButtonBox::RejectRole)->isHidden());
    button(page, QDialogButtonBox::AcceptRole)->click();
    QTRY_VERIFY(!QApplication::activeModalWidget());
}

void TestUpdaterUI::cancelDuringDownload()
{
    HttpTestServer::Response slow = HttpTestServer::answer(200, QByteArray(20000, 'p'));
    slow.pause = 5000;
    server.enqueue("/pavo.deb", slow);
    DefaultUpdater updater;
    offer(updater, DefaultUpdater::UpdateAvailable);
    updater.showDialog();
    QPointer<QWidget> dialog = QApplication::activeModalWidget();
    button(currentPage(dialog), QDialogButtonBox::AcceptRole)->click();
    QWidget* page = currentPage(dialog);
    QVERIFY(qobject_cast<DownloadWidget*>(page));
    QTRY_VERIFY(QFileInfo(updater.runningDownload()->fileName()).size() > 0);

    QTest::ignoreMessage(QtWarningMsg, "\"Canceled\"");
    button(page, QDialogButtonBox::RejectRole)->click();
    QTRY_VERIFY(!dialog);
    QCOMPARE(updater.status(), DefaultUpdater::UpdateDownloadFailed);
    QVERIFY(!updater.runningDownload());
}

// Runs the application's event loop to its end.
void TestUpdaterUI::restartToUpdateQuitsWithoutCheck()
{
    DefaultUpdater updater;
    offer(updater, DefaultUpdater::UpdateDownloaded);
    const int checks = server.count("/release.xml");
    QTimer::singleShot(0, &updater, &DefaultUpdater::onUserAction);
    QTimer::singleShot(5000, &updater, [] { QCoreApplication::exit(1); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(server.count("/release.xml"), checks);
}

QTEST_MAIN(TestUpdaterUI)
#include "testupdaterui.moc"

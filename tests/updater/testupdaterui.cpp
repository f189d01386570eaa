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

namespace {

updater::Dialog* openDialog()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<updater::Dialog*>(widget); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

QWidget* currentPage(QWidget* dialog)
{
    return dialog->findChild<QStackedLayout*>()->currentWidget();
}

QPushButton* button(QWidget* page, QDialogButtonBox::ButtonRole role)
{
    for (QAbstractButton* button : page->findChild<QDialogButtonBox*>()->buttons())
        if (page->findChild<QDialogButtonBox*>()->buttonRole(button) == role)
            return qobject_cast<QPushButton*>(button);
    return nullptr;
}

} // namespace

class TestUpdaterUI : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    HttpTestServer server;
    updater::SimpleXmlParser parser;

    // Offers the package at /pavo.deb in version 1.6 to a program running 1.5.
    void configure(DefaultUpdater& updater)
    {
        updater.setCurrentVersion("1.5");
        updater.setVersion("1.6");
        updater.setFeedUrl(server.url("/release.xml"));
        updater.setDownloadUrl(server.url("/pavo.deb"));
        updater.setParser(&parser);
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
    const QString check = "Check for Updates";
    const QString failed = "Version Pavo 1.6 download failed";
    QTest::newRow("unknown") << 0 << "Pavo 1.6" << check + "..." << check << true << "Didn't check for updates.";
    QTest::newRow("up to date") << 1 << "Pavo 1.6" << check + "..." << check << true << "You have the latest version.";
    QTest::newRow("available") << 2 << "Pavo 1.6"
                               << "Version Pavo 1.6 is available..."
                               << "Download Update" << true << "Version Pavo 1.6 is available.";
    QTest::newRow("downloading") << 3 << "Pavo 1.6"
                                 << "Downloading version Pavo 1.6..."
                                 << "Downloading update..." << false << "Downloading update...";
    QTest::newRow("downloaded") << 4 << "Pavo 1.6"
                                << "Restart to Update"
                                << "Restart to Update" << true
                                << "An update has been downloaded and is ready to be installed.";
    QTest::newRow("failed") << 5 << "Pavo 1.6" << failed << "Retry Update Download" << true << failed + ".";
    QTest::newRow("no display version") << 5 << ""
                                        << "Version 1.6 download failed"
                                        << "Retry Update Download" << true << "Version 1.6 download failed.";
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
    configure(updater);
    updater.setDisplayVersion("Pavo 1.6");
    updater.setStatus(DefaultUpdater::UpdateAvailable);
    updater.showDialog();
    QPointer<updater::Dialog> dialog = openDialog();
    QVERIFY(dialog);
    const QString offer = QApplication::applicationDisplayName() + " 1.6 is now available. You have 1.5.";
    QCOMPARE(currentPage(dialog)->findChildren<QLabel*>().at(1)->text(), offer);

    updater.setStatus(DefaultUpdater::UpdateDownloadFailed);
    QWidget* download = currentPage(dialog);
    QVERIFY(qobject_cast<updater::DownloadWidget*>(download));
    updater.setStatus(DefaultUpdater::UpdateDownloaded);
    updater.setStatus(DefaultUpdater::Unknown);
    QCOMPARE(currentPage(dialog), download);

    updater.setStatus(DefaultUpdater::UpToDate);
    QCOMPARE(qobject_cast<QLabel*>(currentPage(dialog))->text(), "You already have the latest version");
    // The download page left is gone for good; the next download gets a new one.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    updater.setStatus(DefaultUpdater::UpdateDownloadFailed);
    QVERIFY(qobject_cast<updater::DownloadWidget*>(currentPage(dialog)));
    dialog->close();
    QTRY_VERIFY(!dialog);
}

void TestUpdaterUI::userAskedCheck_data()
{
    QTest::addColumn<QByteArray>("offered");
    QTest::addColumn<QString>("told");
    QTest::newRow("nothing new") << QByteArray("1.5") << "There are currently no updates available.";
    QTest::newRow("feed missing") << QByteArray() << "Cannot check for updates: Not Found";
    // An empty answer: the download dialog opens.
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
    configure(updater);
    updater.setStatus(DefaultUpdater::UpToDate);
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
    if (!told.isEmpty()) {
        QTRY_COMPARE(shown, told);
        return;
    }
    QTRY_VERIFY(openDialog());
    QWidget* page = currentPage(openDialog());
    QVERIFY(qobject_cast<updater::DownloadWidget*>(page));
    QTRY_COMPARE(updater.status(), DefaultUpdater::UpdateDownloaded);
    QTRY_VERIFY(button(page, QDialogButtonBox::RejectRole)->isHidden());
    button(page, QDialogButtonBox::AcceptRole)->click();
    QTRY_VERIFY(!openDialog());
}

void TestUpdaterUI::cancelDuringDownload()
{
    HttpTestServer::Response slow = HttpTestServer::answer(200, QByteArray(20000, 'p'));
    slow.pause = 5000;
    server.enqueue("/pavo.deb", slow);
    DefaultUpdater updater;
    configure(updater);
    updater.setStatus(DefaultUpdater::UpdateAvailable);
    updater.showDialog();
    QPointer<updater::Dialog> dialog = openDialog();
    button(currentPage(dialog), QDialogButtonBox::AcceptRole)->click();
    QWidget* page = currentPage(dialog);
    QVERIFY(qobject_cast<updater::DownloadWidget*>(page));
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
    configure(updater);
    updater.setStatus(DefaultUpdater::UpdateDownloaded);
    const int checks = server.count("/release.xml");
    QTimer::singleShot(0, &updater, &DefaultUpdater::onUserAction);
    QTimer timeout;
    connect(&timeout, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    timeout.start(5000);
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(server.count("/release.xml"), checks);
}

QTEST_MAIN(TestUpdaterUI)
#include "testupdaterui.moc"

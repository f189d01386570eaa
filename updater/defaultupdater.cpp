#include "updater/defaultupdater.h"

#include "updater/checker.h"
#include "updater/dialog.h"
#include "updater/downloader.h"
#include "updater/installer.h"
#include "updater/openinstaller.h"
#include "updater/parser.h"

#include <QApplication>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>

namespace updater {

namespace {
int firstCheckDelay = 5000;
const QString lastCheckKey = QStringLiteral("updateCheck");
} // namespace

DefaultUpdater::DefaultUpdater(QObject* parent)
    : Updater(parent), currentVersion_(QCoreApplication::applicationVersion()), pollTimer(new QTimer(this))
{
    pollTimer->setTimerType(Qt::VeryCoarseTimer);
    pollTimer->setInterval(int(checkInterval_));
    connect(pollTimer, &QTimer::timeout, this, &DefaultUpdater::checkIfDue);
    pollTimer->start();
    QTimer::singleShot(firstCheckDelay, Qt::CoarseTimer, this, &DefaultUpdater::checkIfDue);
}

void DefaultUpdater::setFirstCheckDelay(int milliseconds)
{
    firstCheckDelay = milliseconds;
}

void DefaultUpdater::setCheckInterval(qint64 seconds)
{
    checkInterval_ = seconds;
    pollTimer->setInterval(int(seconds));
}

void DefaultUpdater::setParser(Parser* parser)
{
    parser_ = parser;
    parser->setUpdater(this);
}

void DefaultUpdater::setInstaller(Installer* installer)
{
    installer_ = installer;
}

void DefaultUpdater::checkIfDue()
{
    const qint64 last = QSettings().value(lastCheckKey).toInt();
    const qint32 elapsed = qint32(QDateTime::currentSecsSinceEpoch() - last);
    if (elapsed < checkInterval_)
        return;
    check(&DefaultUpdater::onScheduledCheck);
}

void DefaultUpdater::checkAndShowUI()
{
    check(&DefaultUpdater::onCheckedWithUI);
}

void DefaultUpdater::checkAndMaybeShowUI()
{
    check(&DefaultUpdater::onCheckedMaybeUI);
}

void DefaultUpdater::checkWithoutUI()
{
    check(nullptr);
}

void DefaultUpdater::check(Reaction reaction)
{
    auto* checker = new Checker(this);
    connect(checker, &Checker::done, this, [this, checker, reaction] {
        if (reaction)
            (this->*reaction)(*checker);
        // Only now: the reaction may wait in a message box's event loop.
        checker->deleteLater();
    });
    checker->check();
}

void DefaultUpdater::onCheckedWithUI(const Checker& checker)
{
    if (status() != UpToDate) {
        if (status() != UpdateAvailable)
            startDownload();
        showDialog();
        return;
    }
    // A failed check also leaves the status up to date; whoever asked must not be told all is well.
    QMessageBox box(QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.setText(checker.error() ? tr("Cannot check for updates: %1").arg(checker.errorString())
                                : tr("There are currently no updates available."));
    box.setIconPixmap(icon().pixmap(64, 64));
    box.setWindowModality(Qt::WindowModal);
    box.setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    box.exec();
}

void DefaultUpdater::onCheckedMaybeUI(const Checker&)
{
    if (status() != UpToDate)
        showDialog();
}

void DefaultUpdater::onScheduledCheck(const Checker&)
{
    if (!automaticDownload() && status() != UpToDate)
        showDialog();
}

void DefaultUpdater::showDialog()
{
    if (!dialog)
        dialog = new Dialog(this, QApplication::activeWindow());
    dialog->show();
}

Downloader* DefaultUpdater::startDownload()
{
    if (downloader)
        return downloader;
    // A file whose installation failed was kept for another try on the way out; this one replaces it.
    discardDownloadedFile();
    downloader = new Downloader;
    connect(downloader, &Downloader::fileReady, this, &DefaultUpdater::onDownloaded, Qt::DirectConnection);
    connect(downloader, &Downloader::error, this, &DefaultUpdater::onDownloadError, Qt::DirectConnection);
    // Announced once it exists: the dialog's download page follows the download running when it is made.
    setStatus(DownloadingUpdate);
    downloader->download(downloadUrl_, signature_);
    return downloader;
}

void DefaultUpdater::onDownloaded(const QString& filename)
{
    downloader->deleteLater();
    downloader = nullptr;
    downloadedFile_ = filename;
    setStatus(UpdateDownloaded);
    if (immediateInstall()) {
        update();
    } else if (immediateInstallAndRelaunch()) {
        update();
        QCoreApplication::quit();
    } else {
        // Somebody is using the program: install on the way out rather than pull it from under them.
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &DefaultUpdater::update,
                Qt::UniqueConnection);
    }
}

void DefaultUpdater::onDownloadError(const QString& message)
{
    qWarning() << message;
    downloader->deleteLater();
    downloader = nullptr;
    setStatus(UpdateDownloadFailed);
}

void DefaultUpdater::update()
{
    // A failed download after an earlier success leaves the quit hook in place with nothing to run.
    if (downloadedFile_.isEmpty())
        return;
    if (!installer_)
        installer_ = new OpenInstaller(this);
    connect(installer_, &Installer::error, this, &DefaultUpdater::onInstallError, Qt::UniqueConnection);
    connect(installer_, &Installer::finished, this, &DefaultUpdater::onInstallFinished, Qt::UniqueConnection);
    installer_->start(downloadedFile_);
}

void DefaultUpdater::onInstallError(const QString& message)
{
    qWarning() << message;
}

void DefaultUpdater::onInstallFinished()
{
    if (installer_->doneWithFile())
        discardDownloadedFile();
    setStatus(UpToDate);
}

void DefaultUpdater::discardDownloadedFile()
{
    if (!downloadedFile_.isEmpty())
        QFile::remove(downloadedFile_);
    downloadedFile_.clear();
}

} // namespace updater

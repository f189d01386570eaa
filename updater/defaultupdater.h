#pragma once

#include "http/repeatedfailurefilter.h"
#include "updater/updater.h"

#include <QUrl>

class QTimer;

namespace updater {

class Checker;
class Dialog;
class Downloader;
class Installer;
class Parser;

// Checks a feed on a schedule, downloads what it offers and hands the file to an installer when
// the flags say so. Parser and installer are attached, not owned.
class DefaultUpdater : public Updater
{
    Q_OBJECT
public:
    explicit DefaultUpdater(QObject* parent = nullptr);

    // How long after construction the first due check runs; applies to updaters made afterwards.
    static void setFirstCheckDelay(int milliseconds);

    QString currentVersion() const { return currentVersion_; }
    void setCurrentVersion(const QString& version) { currentVersion_ = version; }
    QUrl feedUrl() const { return feedUrl_; }
    void setFeedUrl(const QUrl& url) { feedUrl_ = url; }
    QUrl downloadUrl() const { return downloadUrl_; }
    void setDownloadUrl(const QUrl& url) { downloadUrl_ = url; }
    // The feed's base64 Ed25519 signature of what the download URL serves.
    QByteArray signature() const { return signature_; }
    void setSignature(const QByteArray& signature) { signature_ = signature; }
    QString downloadedFile() const { return downloadedFile_; }
    qint64 checkInterval() const { return checkInterval_; }
    // Seconds between due checks; the poll timer runs at the same number in milliseconds, so a
    // failed check is retried soon without any further bookkeeping.
    void setCheckInterval(qint64 seconds);

    Parser* parser() const { return parser_; }
    void setParser(Parser* parser);
    Installer* installer() const { return installer_; }
    void setInstaller(Installer* installer);

    // The running download, started if there is none.
    Downloader* startDownload();
    Downloader* runningDownload() const { return downloader; }

    void checkAndShowUI() override;
    void checkAndMaybeShowUI() override;
    void checkWithoutUI() override;
    void showDialog();
    // Checks fail the same way every poll while the feed is away: each way is logged once.
    RepeatedFailureFilter& checkFailures() { return checkFailures_; }

public slots:
    void update() override;
    // Runs a check when the last successful one, of any updater in the process, is old enough.
    void checkIfDue();

private:
    using Reaction = void (DefaultUpdater::*)(const Checker& checker);
    void check(Reaction reaction);
    void onCheckedWithUI(const Checker& checker);
    void onCheckedMaybeUI(const Checker& checker);
    void onScheduledCheck(const Checker& checker);
    void onDownloaded(const QString& filename);
    void onDownloadError(const QString& message);
    void onInstallError(const QString& message);
    void onInstallFinished();
    void discardDownloadedFile();

    QString currentVersion_;
    QUrl feedUrl_;
    qint64 checkInterval_ = 86400;
    Downloader* downloader = nullptr;
    QUrl downloadUrl_;
    QByteArray signature_;
    QString downloadedFile_;
    Installer* installer_ = nullptr;
    Parser* parser_ = nullptr;
    QPointer<Dialog> dialog;
    QTimer* pollTimer;
    RepeatedFailureFilter checkFailures_;
};

} // namespace updater

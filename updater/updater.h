#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>

class QAction;
class QLabel;
class QPushButton;

// The program's view of one thing that keeps itself up to date: what the feed offers, how far an
// update has got, and when to install it.
class Updater : public QObject
{
    Q_OBJECT
public:
    enum Status { Unknown, UpToDate, UpdateAvailable, DownloadingUpdate, UpdateDownloaded, UpdateDownloadFailed };
    Q_ENUM(Status)

    // The program's own updater, set once at start-up.
    static Updater* instance();
    static void setInstance(Updater* updater);

    explicit Updater(QObject* parent = nullptr);

    // Made on first request and kept in step with the status. The action belongs to the updater;
    // button and label belong to whoever embeds them.
    QAction* getAction();
    QPushButton* getButton();
    QLabel* getLabel();

    virtual bool immediateInstall() const { return immediateInstall_; }
    virtual void setImmediateInstall(bool on) { immediateInstall_ = on; }
    // Turned on while no client is connected: nobody is interrupted by a restart then.
    virtual bool immediateInstallAndRelaunch() const { return immediateInstallAndRelaunch_; }
    virtual void setImmediateInstallAndRelaunch(bool on) { immediateInstallAndRelaunch_ = on; }
    virtual bool automaticDownload() const { return automaticDownload_; }
    virtual void setAutomaticDownload(bool on) { automaticDownload_ = on; }

    // An updater without a feed has nothing to check.
    virtual void checkAndShowUI() {}
    virtual void checkAndMaybeShowUI() {}
    virtual void checkWithoutUI() {}

    Status status() const { return status_; }
    void setStatus(Status status);
    QString version() const { return version_; }
    void setVersion(const QString& version) { version_ = version; }
    // The feed's human-readable version when it has one, else the version.
    QString displayVersion() const { return displayVersion_.isEmpty() ? version_ : displayVersion_; }
    void setDisplayVersion(const QString& version) { displayVersion_ = version; }
    QString displayName() const { return displayName_; }
    QIcon icon() const { return icon_; }

public slots:
    // Installs the downloaded file.
    virtual void update() = 0;
    // The widgets' click: restart into a downloaded update, else look for one.
    virtual void onUserAction();

signals:
    void statusChanged(Updater::Status status);

private:
    void showStatus();

    QPointer<QAction> action;
    QPointer<QPushButton> button;
    QPointer<QLabel> label;
    bool automaticDownload_ = true;
    bool immediateInstallAndRelaunch_ = false;
    bool immediateInstall_ = false;
    Status status_ = Unknown;
    QString version_;
    QString displayVersion_;
    const QString displayName_;
    const QIcon icon_;
};

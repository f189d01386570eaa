#pragma once

#include <QObject>
#include <QString>

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

    virtual bool immediateInstall() const { return immediateInstall_; }
    virtual void setImmediateInstall(bool on) { immediateInstall_ = on; }
    // Turned on while no client is connected: nobody is interrupted by a restart then.
    virtual bool immediateInstallAndRelaunch() const { return immediateInstallAndRelaunch_; }
    virtual void setImmediateInstallAndRelaunch(bool on) { immediateInstallAndRelaunch_ = on; }
    virtual bool automaticDownload() const { return automaticDownload_; }
    virtual void setAutomaticDownload(bool on) { automaticDownload_ = on; }

    Status status() const { return status_; }
    void setStatus(Status status);
    QString version() const { return version_; }
    void setVersion(const QString& version) { version_ = version; }
    // The feed's human-readable version when it has one, else the version.
    QString displayVersion() const { return displayVersion_.isEmpty() ? version_ : displayVersion_; }
    void setDisplayVersion(const QString& version) { displayVersion_ = version; }

public slots:
    // Installs the downloaded file.
    virtual void update() = 0;

signals:
    void statusChanged(Updater::Status status);

private:
    bool automaticDownload_ = true;
    bool immediateInstallAndRelaunch_ = false;
    bool immediateInstall_ = false;
    Status status_ = Unknown;
    QString version_;
    QString displayVersion_;
};

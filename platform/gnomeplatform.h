#pragma once

#include "platform/platform.h"
#include "updater/updater.h"

#include <QTimer>

class OrgOsmundaPavoExtensionInterface;
class QDBusPendingCall;
template <typename T> class Promise;

namespace updater {
class DefaultUpdater;
}

// The GNOME Shell desktop, reached through our shell extension on the session bus. The extension
// is switched on only while a client is connected; its change signal keeps the registry and the
// cached values here in step.
class GNOMEPlatform : public Platform
{
    Q_OBJECT
public:
    explicit GNOMEPlatform(QObject* parent = nullptr);

    // Where the extension scripts live: the installed copy, else the one beside the program.
    static QString scriptsDirectory();
    // Runs <name>.sh from the scripts directory with bash. Rejects with standard error (or the
    // process error) unless the script exits with 0; the value is its standard output.
    Promise<QByteArray>* runScript(const QString& name, const QStringList& arguments = {});

    OrgOsmundaPavoExtensionInterface* extension() const { return proxy; }
    updater::DefaultUpdater* extensionUpdater() const { return updater; }

    void init() override;
    void setActive(bool active) override;
    void setAutostart(bool enabled) override;
    QPixmap filePreview(const QString& path, int width, int height) override;
    QPixmap fileIcon(const QString& path, int size) override;
    QPixmap fileTypeIcon(const QString& suffix, int size) override;
    void openFile(const QString& path, const QString& appId) override;
    QVector<App*> appsForFile(const QString&) override { return {}; }
    void shutdown() override { invoke(QStringLiteral("shutdown")); }
    void restart() override { invoke(QStringLiteral("restart")); }
    void sleep() override { invoke(QStringLiteral("sleep")); }
    void lockScreen() override { invoke(QStringLiteral("lockScreen")); }
    void logout() override { invoke(QStringLiteral("logout")); }
    int brightness() override { return brightnessLevel; }
    void setBrightness(int percent) override;
    int volumeLevel() override { return volume; }
    void setVolumeLevel(int percent) override;
    bool volumeMute() override { return muted; }
    void setVolumeMute(bool muted) override;
    void mediaPreviousTrack() override { invoke(QStringLiteral("mediaPreviousTrack")); }
    void mediaNextTrack() override { invoke(QStringLiteral("mediaNextTrack")); }
    void mediaPlayPause() override { invoke(QStringLiteral("mediaPlayPause")); }
    bool screenLocked() override { return locked; }
    bool isAvailable() override { return available; }
    bool awaitsFirstState() const override { return awaitingFirstState; }

private slots:
    // Found by name from the extension's dataChanged argument.
    void dbus_currentApp();
    void dbus_installedApps();
    void dbus_runningApps();
    void dbus_a11y_focused();
    void dbus_volumeLevel();
    void dbus_volumeMute();
    void dbus_unsupportedFeatures();
    void dbus_screenLocked();

private:
    void checkExtension();
    void probe();
    void activate();
    void onActivationAnswer(bool answered);
    void deactivate();
    void startAwaitingFirstState();
    void endAwaitingFirstState();
    template <typename Handler> void whenQueried(const QDBusPendingCall& call, Handler handler);
    void onDataChanged(const QString& query);
    void mergeInstalledApps(const QByteArray& json);
    void reconcileRunningApps(const QByteArray& json);
    void invoke(const QString& method);

    updater::DefaultUpdater* const updater;
    bool available = false;
    bool active = false;
    bool readyEmitted = false;
    OrgOsmundaPavoExtensionInterface* proxy = nullptr;
    int brightnessLevel = 0;
    int volume = 0;
    bool muted = false;
    bool locked = false;
    // The first state after an activation: the answers still owed to it and the activation they
    // belong to. Requests held for it wait no longer than the deadline.
    bool awaitingFirstState = false;
    int activations = 0;
    int firstStateOwed = 0;
    QTimer firstStateDeadline;
};

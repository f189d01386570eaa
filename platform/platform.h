#pragma once

#include <QHash>
#include <QObject>
#include <QPixmap>
#include <QStringList>
#include <QVector>

class App;

// The desktop session as the handlers and the core see it. Implementations fill the registry
// and keep the cached values that the getters return without blocking.
class Platform : public QObject
{
    Q_OBJECT
public:
    explicit Platform(QObject* parent = nullptr);
    ~Platform() override;

    App* app(const QString& id) const { return apps.value(id); }
    const QVector<App*>& installedApps() const { return installed; }
    const QVector<App*>& runningApps() const { return running; }
    App* currentApp() const { return current; }
    const QStringList& unsupportedFeatures() const { return unsupported; }

    // Emits currentAppChanged on every call, also when the application stays the same.
    void setCurrentApp(App* app);
    void clearApps();

    virtual void init() = 0;
    virtual void setActive(bool active) = 0;
    virtual void setAutostart(bool enabled) = 0;
    virtual QPixmap filePreview(const QString& path, int width, int height) = 0;
    virtual QPixmap fileIcon(const QString& path, int size) = 0;
    virtual QPixmap fileTypeIcon(const QString& suffix, int size) = 0;
    virtual void openFile(const QString& path, const QString& appId) = 0;
    virtual QVector<App*> appsForFile(const QString& path) = 0;
    virtual void shutdown() = 0;
    virtual void restart() = 0;
    virtual void sleep() = 0;
    virtual void lockScreen() = 0;
    virtual void logout() = 0;
    virtual int brightness() = 0;
    virtual void setBrightness(int percent) = 0;
    virtual int volumeLevel() = 0;
    virtual void setVolumeLevel(int percent) = 0;
    virtual bool volumeMute() = 0;
    virtual void setVolumeMute(bool muted) = 0;
    virtual void mediaPreviousTrack() = 0;
    virtual void mediaNextTrack() = 0;
    virtual void mediaPlayPause() = 0;
    virtual bool screenLocked() = 0;
    virtual bool isAvailable() = 0;
    // True while the desktop side is being switched on and its first state has not arrived: until
    // then the getters and the registry show a desktop that is off.
    virtual bool awaitsFirstState() const { return false; }

signals:
    void ready();
    void currentAppChanged(App* app);
    void installedAppsChanged();
    void runningAppsChanged();
    void appLaunched(App* app);
    void appTerminated(App* app);
    void inputFieldFocused();
    void brightnessChanged();
    void volumeChanged();
    void volumeMuteChanged();
    void screenLockChanged();
    void unsupportedChanged();
    void needPermissions();
    // The wait that awaitsFirstState reports is over: the state arrived, or never will.
    void firstStateArrived();

protected:
    // Takes ownership; the application is listed once, in the order added.
    void addInstalledApp(App* app);

    QHash<QString, App*> apps;
    QVector<App*> installed;
    QVector<App*> running;
    App* current = nullptr;
    QStringList unsupported;
};

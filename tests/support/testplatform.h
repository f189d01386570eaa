#pragma once

#include "platform/app.h"
#include "platform/platform.h"

// A scripted desktop for tests: every operation is recorded as text ("scroll(3,4)"), getters
// return values the test sets, and the test emits the platform's signals itself when it wants
// a change to happen.
class TestApp : public App
{
    Q_OBJECT
public:
    TestApp(const QString& id, const QString& name, const QIcon& icon = QIcon());

    void activate() override { record(QStringLiteral("activate")); }
    void quit() override { record(QStringLiteral("quit")); }
    void close() override { record(QStringLiteral("close")); }
    void toggleMinimize() override { record(QStringLiteral("toggleMinimize")); }
    void toggleMaximize() override { record(QStringLiteral("toggleMaximize")); }
    void toggleFullscreen() override { record(QStringLiteral("toggleFullscreen")); }
    void scroll(int x, int y) override { record(QStringLiteral("scroll(%1,%2)").arg(x).arg(y)); }
    void performShortcut(const QString& keys) override { record(QStringLiteral("performShortcut(%1)").arg(keys)); }
    const QList<MenuItem>& menu() override { return menuItems; }
    void performMenuItem(const QString& id) override { record(QStringLiteral("performMenuItem(%1)").arg(id)); }
    void setFocusedElementValue(const QString& value) override
    {
        record(QStringLiteral("setFocusedElementValue(%1)").arg(value));
    }
    void performFocusedElement() override { record(QStringLiteral("performFocusedElement")); }

    QStringList calls;
    QList<MenuItem> menuItems;

private:
    void record(const QString& call) { calls.append(call); }
};

class TestPlatform : public Platform
{
    Q_OBJECT
public:
    using Platform::Platform;

    // Installs an application; running ones are also listed as running, in the order added.
    TestApp* addApp(const QString& id, const QString& name, bool running = false, const QIcon& icon = QIcon());
    void setUnsupported(const QStringList& features);

    void init() override;
    void setActive(bool active) override;
    void setAutostart(bool enabled) override;
    QPixmap filePreview(const QString& path, int width, int height) override;
    QPixmap fileIcon(const QString& path, int size) override;
    QPixmap fileTypeIcon(const QString& suffix, int size) override;
    void openFile(const QString& path, const QString& appId) override;
    QVector<App*> appsForFile(const QString& path) override;
    void shutdown() override { record(QStringLiteral("shutdown")); }
    void restart() override { record(QStringLiteral("restart")); }
    void sleep() override { record(QStringLiteral("sleep")); }
    void lockScreen() override { record(QStringLiteral("lockScreen")); }
    void logout() override { record(QStringLiteral("logout")); }
    int brightness() override { return brightnessPercent; }
    void setBrightness(int percent) override { record(QStringLiteral("setBrightness(%1)").arg(percent)); }
    int volumeLevel() override { return volumePercent; }
    void setVolumeLevel(int percent) override { record(QStringLiteral("setVolumeLevel(%1)").arg(percent)); }
    bool volumeMute() override { return muted; }
    void setVolumeMute(bool muted) override { record(QStringLiteral("setVolumeMute(%1)").arg(muted)); }
    void mediaPreviousTrack() override { record(QStringLiteral("mediaPreviousTrack")); }
    void mediaNextTrack() override { record(QStringLiteral("mediaNextTrack")); }
    void mediaPlayPause() override { record(QStringLiteral("mediaPlayPause")); }
    bool screenLocked() override { return locked; }
    bool isAvailable() override { return true; }

    QStringList calls;
    int brightnessPercent = 70;
    int volumePercent = 30;
    bool muted = false;
    bool locked = false;
    QVector<App*> fileApps;

private:
    void record(const QString& call) { calls.append(call); }
};

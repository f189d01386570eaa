#pragma once

#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>

// A real GNOME Shell, headless on Wayland without X11, on the test's session bus and on a
// stand-in system bus of its own, for the user of the test's HOME. It loads the extensions given
// to start(), enabled: folders are copied under XDG_DATA_HOME, where the shell looks for the
// user's; extensions installed there before are named by their UUID.
// The test helper extension (tests/extension/helper) must be among them: it tells when the shell
// is up and leaves the Overview.
class HeadlessShell : public QObject
{
    Q_OBJECT
public:
    static const QString WaylandDisplay;

    ~HeadlessShell() override;

    // Starts the shell with these extension folders installed, and them and the installed ones
    // enabled; false when the shell or its system bus cannot start.
    bool start(const QStringList& extensionFolders, const QStringList& installedUuids = {});
    // Waits until the extension reaches the state (1 enabled, 2 disabled) or the time is up.
    bool waitForExtensionState(const QString& uuid, int state, int milliseconds = 20000);
    bool enableExtension(const QString& uuid);
    bool disableExtension(const QString& uuid);
    // Returns once everything the shell sent on the session bus before has been received.
    bool sync();
    // The shell's own log, for failure messages.
    QString logFile() const;

signals:
    void extensionStateChanged(const QString& uuid, const QVariantMap& state);

private slots:
    void onExtensionStateChanged(const QString& uuid, const QVariantMap& state);

private:
    bool startSystemBus();
    bool waitForStartUp(int milliseconds);
    int extensionState(const QString& uuid);

    QProcess systemBus;
    QProcess shell;
    bool subscribed = false;
};

#pragma once

#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>

// A real GNOME Shell, headless on Wayland without X11, on the test's session bus and on a
// stand-in system bus of its own, for the user of the test's HOME. Besides the extensions the
// test installed under XDG_DATA_HOME, it runs a helper extension (tests/extension/helper) that
// tells when the shell is up and leaves the Overview, so that windows get the focus.
class HeadlessShell : public QObject
{
    Q_OBJECT
public:
    static const QString WaylandDisplay;

    ~HeadlessShell() override;

    // Starts the shell with these installed extensions enabled; false when the shell or its
    // system bus cannot start.
    bool start(const QStringList& enabledUuids);
    // Waits until the extension reaches the state (1 enabled, 2 disabled) or the time is up.
    bool waitForExtensionState(const QString& uuid, int state, int milliseconds = 20000);
    bool setExtensionEnabled(const QString& uuid, bool enabled);
    // Returns once everything the shell sent on the session bus before has been received.
    bool sync();
    // Starts a program as a client of the shell's display.
    void launch(QProcess& process, const QString& program, const QStringList& arguments) const;
    // The shell's own log, for failure messages.
    QString logFile() const;
    qint64 processId() const { return shell.processId(); }

signals:
    void extensionStateChanged(const QString& uuid, const QVariantMap& state);

private:
    bool startSystemBus();
    bool waitForStartUp(int milliseconds);
    int extensionState(const QString& uuid);

    QProcess systemBus;
    QProcess shell;
    bool subscribed = false;
};

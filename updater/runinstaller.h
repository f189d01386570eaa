#pragma once

#include "updater/installer.h"

#include <QProcess>
#include <QStringList>

namespace updater {

// Runs a command on the downloaded file ("%filename%" in the arguments), or the file itself when
// there are no arguments; optionally through pkexec, detached, or followed by a fresh copy of the
// program.
class RunInstaller : public Installer
{
    Q_OBJECT
public:
    explicit RunInstaller(QObject* parent = nullptr);
    void start(const QString& filename) override;
    bool doneWithFile() const override { return !detached_; }

    QString command() const { return command_; }
    void setCommand(const QString& command) { command_ = command; }
    QStringList arguments() const { return arguments_; }
    void setArguments(const QStringList& arguments) { arguments_ = arguments; }
    bool runElevated() const { return runElevated_; }
    void setRunElevated(bool on) { runElevated_ = on; }
    bool relaunch() const { return relaunch_; }
    void setRelaunch(bool on) { relaunch_ = on; }
    bool detached() const { return detached_; }
    void setDetached(bool on) { detached_ = on; }

private:
    void startDetached(QProcess* process, const QString& filename);
    void runAndWait(QProcess* process);

    QString command_;
    QStringList arguments_;
    bool runElevated_ = false;
    bool relaunch_ = false;
    bool detached_ = false;
};

} // namespace updater

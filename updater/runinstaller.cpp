#include "updater/runinstaller.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QMetaEnum>
#include <QUrl>

namespace updater {

namespace {

// An administrator's password prompt may sit there for a while; the event loop waits this long.
constexpr int installTimeout = 60000;

QString errorName(QProcess::ProcessError error)
{
    return QString::fromLatin1(QMetaEnum::fromType<QProcess::ProcessError>().valueToKey(error));
}

} // namespace

RunInstaller::RunInstaller(QObject* parent) : Installer(parent) {}

void RunInstaller::start(const QString& filename)
{
    QStringList arguments = arguments_;
    QString program = filename;
    if (!arguments.isEmpty()) {
        arguments.replaceInStrings(QStringLiteral("%filename%"), filename);
        program = command_;
        if (runElevated_) {
            arguments.prepend(command_);
            program = QStringLiteral("pkexec");
        }
    }
    auto* process = new QProcess;
    process->setProgram(program);
    process->setArguments(arguments);
    connect(process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        emit this->error(QStringLiteral("Update error: ") + errorName(error));
    });
    if (detached_)
        startDetached(process, filename);
    else
        runAndWait(process);
}

void RunInstaller::startDetached(QProcess* process, const QString& filename)
{
    if (!process->startDetached()) {
        qWarning() << "Cannot execute" << process->program() << process->arguments() << process->errorString();
        QDesktopServices::openUrl(QUrl::fromLocalFile(filename));
    }
    process->deleteLater();
    emit finished();
}

void RunInstaller::runAndWait(QProcess* process)
{
    process->start();
    if (!process->waitForFinished(installTimeout)) {
        if (process->state() != QProcess::NotRunning) {
            // Still running, perhaps still asking for a password: leave it be, but say so.
            emit error(QStringLiteral("Update error: ") + errorName(QProcess::Timedout));
            connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), process,
                    &QObject::deleteLater);
        } else {
            process->deleteLater();
        }
        return;
    }
    process->deleteLater();
    // Relaunched even after a failed install, so the program keeps running in its old version.
    if (relaunch_)
        QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
    // A crash was reported through errorOccurred already; a refusal (a wrong password, a broken
    // package) must not pass for a finished installation.
    if (process->exitStatus() == QProcess::NormalExit && process->exitCode() != 0) {
        emit error(QStringLiteral("Update error: exit code %1").arg(process->exitCode()));
        return;
    }
    if (process->exitStatus() == QProcess::NormalExit)
        emit finished();
}

} // namespace updater

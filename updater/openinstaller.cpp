#include "updater/openinstaller.h"

#include <QDesktopServices>
#include <QUrl>

namespace updater {

OpenInstaller::OpenInstaller(QObject* parent) : Installer(parent) {}

void OpenInstaller::start(const QString& filename)
{
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(filename)))
        emit error(QStringLiteral("Cannot start update"));
    emit finished();
}

} // namespace updater

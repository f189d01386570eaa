#include "server/settingsfile.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {
const QFile::Permissions OwnerOnly = QFile::ReadOwner | QFile::WriteOwner;

// Rewrites keep the permissions of the file they replace, so creating it private first means
// the secrets never sit in a world-readable file, not even for a moment.
void createPrivately(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.setPermissions(OwnerOnly);
}
} // namespace

void syncPrivately(QSettings& settings)
{
    const QString path = settings.fileName();
    if (!QFile::exists(path))
        createPrivately(path);
    settings.sync();
    if (!QFile::setPermissions(path, OwnerOnly))
        qWarning() << "Cannot restrict access to" << path;
}

#include "server/settingsfile.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {
const QFile::Permissions OwnerOnly = QFile::ReadOwner | QFile::WriteOwner;

// Rewrites keep the permissions of the file they replace, so making it private before the
// write means the secrets never sit in a readable file, not even for a moment.
bool makePrivate(const QString& path)
{
    if (!QFile::exists(path)) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return false;
    }
    return QFile::setPermissions(path, OwnerOnly);
}
} // namespace

void syncPrivately(QSettings& settings)
{
    const QString path = settings.fileName();
    if (!makePrivate(path))
        qWarning() << "Cannot restrict access to" << path;
    settings.sync();
    QFile::setPermissions(path, OwnerOnly); // in case the write replaced the file after all
}

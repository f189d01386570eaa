#include "server/authorizeddevices.h"

#include "server/settingsfile.h"

#include <QSettings>

namespace {
const QString Group = QStringLiteral("au");

QString keyOf(const QString& id)
{
    return Group + QLatin1Char('/') + id;
}
} // namespace

AuthorizedDevices::AuthorizedDevices()
{
    QSettings settings;
    settings.beginGroup(Group);
    for (const QString& id : settings.allKeys())
        secrets.insert(id, settings.value(id).toString());
}

void AuthorizedDevices::insert(const QString& id, const QString& secret)
{
    QSettings settings;
    settings.setValue(keyOf(id), secret);
    syncPrivately(settings);
    secrets.insert(id, secret);
}

void AuthorizedDevices::remove(const QString& id)
{
    if (id.isEmpty())
        return; // "au/" would name the whole group
    QSettings settings;
    settings.remove(keyOf(id));
    syncPrivately(settings);
    secrets.remove(id);
}

void AuthorizedDevices::clear()
{
    QSettings settings;
    settings.remove(Group);
    syncPrivately(settings);
    secrets.clear();
}

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

bool AuthorizedDevices::contains(const QString& id) const
{
    return !id.isEmpty() && QSettings().contains(keyOf(id));
}

QString AuthorizedDevices::secret(const QString& id) const
{
    return id.isEmpty() ? QString() : QSettings().value(keyOf(id)).toString();
}

int AuthorizedDevices::count() const
{
    QSettings settings;
    settings.beginGroup(Group);
    return settings.allKeys().size();
}

void AuthorizedDevices::insert(const QString& id, const QString& secret)
{
    QSettings settings;
    settings.setValue(keyOf(id), secret);
    syncPrivately(settings);
}

void AuthorizedDevices::remove(const QString& id)
{
    if (id.isEmpty())
        return; // "au/" would name the whole group
    QSettings settings;
    settings.remove(keyOf(id));
    syncPrivately(settings);
}

void AuthorizedDevices::clear()
{
    QSettings settings;
    settings.remove(Group);
    syncPrivately(settings);
}

#include "server/authorizeddevices.h"

#include "server/settingsfile.h"

#include <QDebug>
#include <QRegularExpression>
#include <QSettings>

namespace {
const QString Group = QStringLiteral("au");
constexpr int SecretLength = 32;

QString keyOf(const QString& id)
{
    return Group + QLatin1Char('/') + id;
}
} // namespace

AuthorizedDevices::AuthorizedDevices()
{
    QSettings settings;
    settings.beginGroup(Group);
    for (const QString& id : settings.allKeys()) {
        const QString secret = settings.value(id).toString();
        // A damaged or hand-made entry is no pairing: a short or plain secret could be guessed.
        if (isPlainId(id) && isSecret(secret))
            secrets.insert(id, secret);
        else
            qWarning() << "Ignoring a damaged pairing of" << id.left(MaxIdLength);
    }
}

bool AuthorizedDevices::isPlainId(const QString& id)
{
    if (id.isEmpty() || id.size() > 2 * MaxIdLength || id.toUcs4().size() > MaxIdLength)
        return false;
    for (const QChar c : id) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

bool AuthorizedDevices::isSecret(const QString& secret)
{
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z0-9]{%1}").arg(SecretLength)));
    return pattern.match(secret).hasMatch();
}

QStringList AuthorizedDevices::ids() const
{
    QStringList list = secrets.keys();
    list.sort();
    return list;
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

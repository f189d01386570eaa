#include "platform/app.h"

#include "server/core.h"
#include "server/protocol.h"
#include "server/server.h"
#include "server/settingsfile.h"

#include <QDateTime>
#include <QJsonObject>
#include <QMetaEnum>
#include <QSettings>

namespace {
const QString LastUsedGroup = QStringLiteral("t");
// Time stamps change on every launch and quit: they reach the disk in batches, not one by one.
constexpr int LastUsedBatch = 11;

QVector<App*>& pendingLastUsed()
{
    static QVector<App*> pending;
    return pending;
}

void writePendingLastUsed()
{
    QSettings settings;
    settings.beginGroup(LastUsedGroup);
    QVector<App*>& pending = pendingLastUsed();
    while (!pending.isEmpty()) {
        App* app = pending.takeLast();
        settings.setValue(app->id(), app->lastUsed());
    }
    settings.endGroup();
    syncPrivately(settings);
}

QString shortenedForPush(const QString& value)
{
    const int lineFeed = value.indexOf(QLatin1Char('\n'));
    if (value.size() <= 3 || lineFeed < 0)
        return value;
    return value.left(lineFeed) + QStringLiteral("...");
}
} // namespace

App::App(const QString& id) : appId(id)
{
    lastUsedTime = QSettings().value(LastUsedGroup + QLatin1Char('/') + id, 0).toLongLong();
    qRegisterMetaType<App::ElementRole>("App::ElementRole");
    connect(this, &App::focusRoleAsync, this, &App::focusRole, Qt::QueuedConnection);
}

App::~App()
{
    pendingLastUsed().removeAll(this);
}

void App::setCurrent(bool current)
{
    this->current = current;
    if (!current) {
        host.clear();
        focusedText.clear();
    }
}

void App::setRunning(bool running)
{
    this->running = running;
    lastUsedTime = QDateTime::currentSecsSinceEpoch();
    pendingLastUsed().append(this);
    if (pendingLastUsed().size() >= LastUsedBatch)
        writePendingLastUsed();
}

void App::focusRole(App::ElementRole role, const QString& name, const QString& value, const QVariantMap& properties)
{
    Server* server = Core::instance()->server();
    if (!server || server->connections().isEmpty())
        return;
    focusedText = value;
    const char* roleKey = QMetaEnum::fromType<App::ElementRole>().valueToKey(role);
    server->broadcast(Method::FocusedElement, {{Key::Id, appId},
                                               {Key::FocusRole, QString::fromLatin1(roleKey ? roleKey : "")},
                                               {Key::Name, name},
                                               {Key::Value, shortenedForPush(value)},
                                               {Key::Properties, QJsonObject::fromVariantMap(properties)}});
}

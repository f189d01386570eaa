#include "platform/app.h"

#include "http/http.h"
#include "http/httpreply.h"
#include "http/webservice.h"
#include "platform/website.h"
#include "server/core.h"
#include "server/jsontext.h"
#include "server/protocol.h"
#include "server/server.h"
#include "server/settingsfile.h"

#include <QDateTime>
#include <QJsonObject>
#include <QMetaEnum>
#include <QSettings>
#include <QUrl>
#include <QUrlQuery>

namespace {
// Web-service vocabulary, not the client protocol's.
const QString CommandsQuery = QStringLiteral("q");
const QString BrowserMark = QStringLiteral("b");

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

// The web service knows applications by name words: "Org.Gnome-Maps.desktop" -> "org.gnome maps".
QString commandsQueryText(const QString& id)
{
    return id.toLower().remove(QStringLiteral(".desktop")).replace(QLatin1Char('-'), QLatin1Char(' '));
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

void App::loadCommands()
{
    if (commandsAreLoaded)
        return;
    QUrl url(QString::fromUtf8(webServiceBaseUrl() + "/app"));
    // Query items, not text: an id holding "&" or "#" must not end the query early.
    url.setQuery(QUrlQuery{{CommandsQuery, commandsQueryText(appId)}});
    HttpReply* reply = cachedHttp().get(url);
    connect(reply, &HttpReply::finished, this, [this](HttpReply* finished) { parseCommands(*finished); });
}

void App::parseCommands(HttpReply& reply)
{
    if (!reply.isSuccessful()) {
        qWarning() << "Cannot load commands" << appId;
        return;
    }
    commands = reply.body();
    commandsAreLoaded = true;
    setBrowser(parseJson(commands).object().value(BrowserMark).toBool());
    emit commandsLoaded(commands);
}

void App::setUrl(const QUrl& url)
{
    const QString urlHost = url.host(QUrl::FullyDecoded);
    if (urlHost == host)
        return;
    host = urlHost;
    const Website* website = Core::instance()->websites().value(host);
    QJsonObject document = website ? website->commands() : QJsonObject();
    document.insert(Key::Id, appId);
    if (Server* server = Core::instance()->server())
        server->broadcast(Method::CommandsChanged, document);
}

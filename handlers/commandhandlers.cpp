#include "handlers/commandhandlers.h"

#include "http/http.h"
#include "http/httpreply.h"
#include "http/webservice.h"
#include "platform/app.h"
#include "server/protocol.h"

#include <QUrlQuery>
#include <QWebSocket>

#include <memory>

namespace {
// Web-service vocabulary of the icon query, not the client protocol's.
const QString IconName = QStringLiteral("i");
const QString IconSize = QStringLiteral("s");

// Runs the slot on the first emission only. The context's destruction cancels it: a request
// dies with its connection.
template <typename Sender, typename Signal, typename Slot>
void connectOnce(Sender* sender, Signal signal, QObject* context, Slot slot)
{
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(sender, signal, context, [connection, slot](auto&&... arguments) {
        QObject::disconnect(*connection);
        slot(arguments...);
    });
}
} // namespace

void CommandsHandler::handle(const QJsonObject& request, QWebSocket* connection)
{
    App* app = requestedApp(request, false);
    if (!app)
        return;
    if (app->areCommandsLoaded()) {
        answer(connection, app->id(), app->commandsJson());
        return;
    }
    const QString id = app->id();
    connectOnce(app, &App::commandsLoaded, connection,
                [this, connection, id](const QByteArray& document) { answer(connection, id, document); });
    app->loadCommands();
}

void CommandsHandler::answer(QWebSocket* connection, const QString& id, const QByteArray& document)
{
    server->sendJson(connection, {{Key::Method, method()}, {Key::Id, id}}, jsonAttachment(document));
}

CommandIconHandler::CommandIconHandler(Server* server, const QString& method)
    : MessageHandler(server, method), iconUrl(QString::fromUtf8(webServiceBaseUrl() + "/icon"))
{
}

void CommandIconHandler::handle(const QJsonObject& request, QWebSocket* connection)
{
    const QString id = request.value(Key::Id).toString();
    const int size = request.value(Key::Size).toInt();
    if (id.isEmpty() || !isServedIconSize(size))
        return;
    QUrl url = iconUrl;
    url.setQuery(QUrlQuery{{IconName, id}, {IconSize, QString::number(size)}});
    // The reply that finishes may be an older copy from the cache: its body is the one to send.
    connectOnce(cachedHttp().get(url), &HttpReply::finished, connection,
                [this, connection, id, size](HttpReply* reply) {
                    if (reply->isSuccessful())
                        server->sendJson(connection, {{Key::Method, method()}, {Key::Id, id}, {Key::Size, size}},
                                         {Server::Png, reply->body()});
                });
}

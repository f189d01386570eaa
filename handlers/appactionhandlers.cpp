#include "handlers/appactionhandlers.h"

#include "server/protocol.h"
#include "server/server.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {
QJsonArray menuDocument(const QList<MenuItem>& items)
{
    QJsonArray document;
    for (const MenuItem& item : items) {
        QJsonObject entry{{Key::Id, item.id}, {Key::Name, item.name}};
        if (!item.children.isEmpty())
            entry.insert(Key::MenuChildren, menuDocument(item.children));
        document.append(entry);
    }
    return document;
}
} // namespace

void AppScrollHandler::handle(const QJsonObject& request, QWebSocket*)
{
    if (App* app = requestedApp(request, true))
        app->scroll(request.value(Key::ScrollX).toInt(), request.value(Key::ScrollY).toInt());
}

void MenuHandler::handle(const QJsonObject& request, QWebSocket* connection)
{
    App* app = requestedApp(request, false);
    if (!app)
        return;
    const QByteArray document = QJsonDocument(menuDocument(app->menu())).toJson(QJsonDocument::Compact);
    server->sendJson(connection, {{Key::Method, method()}, {Key::Id, app->id()}}, jsonAttachment(document));
}

void MenuPerformHandler::handle(const QJsonObject& request, QWebSocket*)
{
    if (App* app = requestedApp(request, false))
        app->performMenuItem(request.value(Key::MenuItem).toString());
}

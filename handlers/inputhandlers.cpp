#include "handlers/inputhandlers.h"

#include "platform/app.h"
#include "server/protocol.h"
#include "server/server.h"

#include <QJsonArray>

void KeySequenceHandler::handle(const QJsonObject& request, QWebSocket*)
{
    App* app = requestedApp(request, false);
    if (!app)
        return;
    const QJsonValue keys = request.value(Key::Keys);
    if (keys.isString()) {
        app->performShortcut(keys.toString());
    } else if (keys.isArray()) {
        for (const QJsonValue& sequence : keys.toArray())
            app->performShortcut(sequence.toString());
    } else {
        qWarning() << "No keys" << keys;
    }
}

void FocusValueHandler::handle(const QJsonObject& request, QWebSocket* connection)
{
    if (heldForFirstState(request, connection))
        return;
    App* app = requestedApp(request, true);
    if (!app)
        return;
    if (request.contains(Key::Value)) {
        app->setFocusedElementValue(request.value(Key::Value).toString());
        return;
    }
    // "i" goes back as sent: empty when the client left the choice to the focus.
    server->send(connection, Method::FocusedElement,
                 {{Key::Id, request.value(Key::Id).toString()}, {Key::Value, app->focusedValue()}});
}

void FocusPerformHandler::handle(const QJsonObject& request, QWebSocket*)
{
    if (App* app = requestedApp(request, true))
        app->performFocusedElement();
}

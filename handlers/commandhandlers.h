#pragma once

#include "handlers/messagehandler.h"

#include <QUrl>

// The application's command document from the web service, relayed as it came. A request that
// finds it not yet loaded waits for the next load; it is answered once, or never when its
// connection goes first.
class CommandsHandler : public MessageHandler
{
    Q_OBJECT
public:
    using MessageHandler::MessageHandler;
    void handle(const QJsonObject& request, QWebSocket* connection) override;

private:
    void answer(QWebSocket* connection, const QString& id, const QByteArray& document);
};

// An icon a command shows, fetched by its web-service name and relayed byte for byte.
class CommandIconHandler : public MessageHandler
{
    Q_OBJECT
public:
    CommandIconHandler(Server* server, const QString& method);
    void handle(const QJsonObject& request, QWebSocket* connection) override;

private:
    const QUrl iconUrl;
};

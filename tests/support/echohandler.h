#pragma once

#include "handlers/messagehandler.h"
#include "server/protocol.h"
#include "server/server.h"

// Answers every request with the request itself under its own method code, and an empty
// request (a push) with just that code: a trivial handler to drive the server end to end.
class EchoHandler : public MessageHandler
{
    Q_OBJECT
public:
    using MessageHandler::MessageHandler;
    void handle(const QJsonObject& request, QWebSocket* connection) override
    {
        QJsonObject reply = request;
        reply.insert(Key::Method, method());
        server->sendJson(connection, reply);
        ++handled;
    }
    int handled = 0;
};

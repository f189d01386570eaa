#pragma once

#include "handlers/messagehandler.h"

// Judges a known device's answer to its challenge (protocol 1: the hex of the session key) and
// passes a protocol 2 device's handshake messages to the server.
class AuthenticationHandler : public MessageHandler
{
    Q_OBJECT
public:
    using MessageHandler::MessageHandler;
    void handle(const QJsonObject& request, QWebSocket* connection) override;

private:
    void handleSecure(const QJsonObject& request, QWebSocket* connection);
};

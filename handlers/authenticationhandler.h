#pragma once

#include "handlers/messagehandler.h"

// Judges a known device's answer to its challenge: the hex of the session key.
class AuthenticationHandler : public MessageHandler
{
    Q_OBJECT
public:
    using MessageHandler::MessageHandler;
    void handle(const QJsonObject& request, QWebSocket* connection) override;
};

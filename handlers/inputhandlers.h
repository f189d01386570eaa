#pragma once

#include "handlers/messagehandler.h"

// Key shortcuts for one named application: one sequence, or several in order.
class KeySequenceHandler : public MessageHandler
{
    Q_OBJECT
public:
    using MessageHandler::MessageHandler;
    void handle(const QJsonObject& request, QWebSocket* connection) override;
};

// Reads or replaces the value of the focused element. The answer travels as "fe", the code of the
// application's own focus pushes, so the client reads both the same way.
class FocusValueHandler : public MessageHandler
{
    Q_OBJECT
public:
    using MessageHandler::MessageHandler;
    void handle(const QJsonObject& request, QWebSocket* connection) override;
};

// Presses the focused element.
class FocusPerformHandler : public MessageHandler
{
    Q_OBJECT
public:
    using MessageHandler::MessageHandler;
    void handle(const QJsonObject& request, QWebSocket* connection) override;
};

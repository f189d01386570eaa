#pragma once

#include "handlers/messagehandler.h"

#include <functional>

// Desktop-wide state a client shows as a slider or a switch. A request holding "v" (null
// included) changes the state and gets no answer: the platform's change signal pushes the result
// to every client. Any other request, a push included, is answered with the current value.
class StateHandler : public MessageHandler
{
    Q_OBJECT
protected:
    using MessageHandler::MessageHandler;
    void getOrSet(const QJsonObject& request, QWebSocket* connection, const std::function<QJsonValue()>& get,
                  const std::function<void(const QJsonValue&)>& set);
    void sendValue(QWebSocket* connection, const QJsonValue& value);
};

class VolumeHandler : public StateHandler
{
    Q_OBJECT
public:
    using StateHandler::StateHandler;
    void handle(const QJsonObject& request, QWebSocket* connection) override;
};

class VolumeMuteHandler : public StateHandler
{
    Q_OBJECT
public:
    using StateHandler::StateHandler;
    void handle(const QJsonObject& request, QWebSocket* connection) override;
};

class BrightnessHandler : public StateHandler
{
    Q_OBJECT
public:
    using StateHandler::StateHandler;
    void handle(const QJsonObject& request, QWebSocket* connection) override;
};

// There is no remote unlock: only a true value does something.
class ScreenLockHandler : public StateHandler
{
    Q_OBJECT
public:
    using StateHandler::StateHandler;
    void handle(const QJsonObject& request, QWebSocket* connection) override;
};

// Features the desktop side cannot perform, so the client can hide them; read-only.
class UnsupportedHandler : public StateHandler
{
    Q_OBJECT
public:
    using StateHandler::StateHandler;
    void handle(const QJsonObject& request, QWebSocket* connection) override;
};

#pragma once

#include "handlers/messagehandler.h"
#include "platform/app.h"

// A window action on the named application, or on the current one when the request names none.
// The effect comes back through the platform's change signals, so nothing is answered.
template <void (App::*Action)()> class WindowActionHandler : public MessageHandler
{
public:
    using MessageHandler::MessageHandler;
    void handle(const QJsonObject& request, QWebSocket*) override
    {
        if (App* app = requestedApp(request, true))
            (app->*Action)();
    }
};

class AppActivateHandler : public WindowActionHandler<&App::activate>
{
    Q_OBJECT
public:
    using WindowActionHandler::WindowActionHandler;
};

class AppCloseHandler : public WindowActionHandler<&App::close>
{
    Q_OBJECT
public:
    using WindowActionHandler::WindowActionHandler;
};

class AppQuitHandler : public WindowActionHandler<&App::quit>
{
    Q_OBJECT
public:
    using WindowActionHandler::WindowActionHandler;
};

class AppMinimizeHandler : public WindowActionHandler<&App::toggleMinimize>
{
    Q_OBJECT
public:
    using WindowActionHandler::WindowActionHandler;
};

class AppMaximizeHandler : public WindowActionHandler<&App::toggleMaximize>
{
    Q_OBJECT
public:
    using WindowActionHandler::WindowActionHandler;
};

class AppFullscreenHandler : public WindowActionHandler<&App::toggleFullscreen>
{
    Q_OBJECT
public:
    using WindowActionHandler::WindowActionHandler;
};

// The window action that carries arguments: scroll offsets, 0 when missing.
class AppScrollHandler : public MessageHandler
{
    Q_OBJECT
public:
    using MessageHandler::MessageHandler;
    void handle(const QJsonObject& request, QWebSocket* connection) override;
};

// The application's menu tree as one JSON document.
class MenuHandler : public MessageHandler
{
    Q_OBJECT
public:
    using MessageHandler::MessageHandler;
    void handle(const QJsonObject& request, QWebSocket* connection) override;
};

// Triggers a menu item; whether the id means anything is the application's business.
class MenuPerformHandler : public MessageHandler
{
    Q_OBJECT
public:
    using MessageHandler::MessageHandler;
    void handle(const QJsonObject& request, QWebSocket* connection) override;
};

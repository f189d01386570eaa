#pragma once

#include "handlers/messagehandler.h"

class QIcon;

// The icon at an edge of `size` device pixels. On a scaled display an icon answers in device
// pixels, so a second request at the logical size (truncated) usually lands on the right width.
QPixmap appIconPixmap(const QIcon& icon, int size, qreal devicePixelRatio);

// The installed applications, most recently used first, with their running state.
class InstalledAppsHandler : public MessageHandler
{
    Q_OBJECT
public:
    using MessageHandler::MessageHandler;
    void handle(const QJsonObject& request, QWebSocket* connection) override;
};

// The application that has the focus; no id when none has.
class CurrentAppHandler : public MessageHandler
{
    Q_OBJECT
public:
    using MessageHandler::MessageHandler;
    void handle(const QJsonObject& request, QWebSocket* connection) override;
};

// One application's icon at the edge length the client draws it, as a PNG.
class AppIconHandler : public MessageHandler
{
    Q_OBJECT
public:
    using MessageHandler::MessageHandler;
    void handle(const QJsonObject& request, QWebSocket* connection) override;
};

// The applications able to open a file, by id only: the client knows their names and icons.
class FileAppsHandler : public MessageHandler
{
    Q_OBJECT
public:
    using MessageHandler::MessageHandler;
    void handle(const QJsonObject& request, QWebSocket* connection) override;
};

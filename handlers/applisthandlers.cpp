#include "handlers/applisthandlers.h"

#include "platform/app.h"
#include "platform/platform.h"
#include "server/core.h"
#include "server/protocol.h"
#include "server/server.h"

#include <QGuiApplication>
#include <QIcon>
#include <QJsonArray>
#include <QPixmap>

QPixmap appIconPixmap(const QIcon& icon, int size, qreal devicePixelRatio)
{
    QPixmap pixmap = icon.pixmap(size, size);
    if (pixmap.width() == size)
        return pixmap;
    const int logicalSize = int(size / devicePixelRatio);
    pixmap = icon.pixmap(logicalSize, logicalSize);
    // An icon with no image at all still gets its (empty) reply; there is nothing to scale.
    if (pixmap.width() == size || pixmap.isNull())
        return pixmap;
    return pixmap.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

void InstalledAppsHandler::handle(const QJsonObject& request, QWebSocket* connection)
{
    if (heldForFirstState(request, connection))
        return;
    QJsonArray apps;
    for (const App* app : Core::instance()->sortedApps()) {
        QJsonObject entry{{Key::Id, app->id()}, {Key::Name, app->name()}};
        if (app->isRunning())
            entry.insert(Key::State, Key::Running);
        apps.append(entry);
    }
    server->sendJson(connection, {{Key::Method, method()}, {Key::Apps, apps}});
}

void CurrentAppHandler::handle(const QJsonObject& request, QWebSocket* connection)
{
    if (heldForFirstState(request, connection))
        return;
    QJsonObject reply{{Key::Method, method()}};
    if (const App* app = platform()->currentApp())
        reply.insert(Key::Id, app->id());
    server->sendJson(connection, reply);
}

void AppIconHandler::handle(const QJsonObject& request, QWebSocket* connection)
{
    if (heldForFirstState(request, connection))
        return;
    const App* app = requestedApp(request, false);
    const int size = request.value(Key::Size).toInt();
    if (!app || !isServedIconSize(size))
        return;
    const QPixmap pixmap = appIconPixmap(app->icon(), size, qGuiApp->devicePixelRatio());
    server->sendJson(connection, {{Key::Method, method()}, {Key::Id, app->id()}, {Key::Size, size}},
                     pngAttachment(pixmap));
}

void FileAppsHandler::handle(const QJsonObject& request, QWebSocket* connection)
{
    const QString path = request.value(Key::Path).toString();
    QJsonArray apps;
    for (const App* app : platform()->appsForFile(path))
        apps.append(QJsonObject{{Key::Id, app->id()}});
    server->sendJson(connection, {{Key::Method, method()}, {Key::Path, path}, {Key::Apps, apps}});
}

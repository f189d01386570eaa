#include "handlers/messagehandler.h"

#include "platform/platform.h"
#include "server/core.h"
#include "server/protocol.h"

#include <QBuffer>
#include <QPixmap>
#include <QTimer>
#include <QWebSocket>

#include <utility>

namespace {
constexpr int SmallestIconSize = 16;
constexpr int LargestIconSize = 1024;
// Requests kept per handler while the desktop is switched on; a device that sends more gets the
// rest answered at once rather than filling memory.
constexpr int MostHeldRequests = 256;
} // namespace

MessageHandler::MessageHandler(Server* server, const QString& method)
    : QObject(server), server(server), methodCode(method)
{
    QTimer::singleShot(0, this, &MessageHandler::registerWithServer);
}

void MessageHandler::registerWithServer()
{
    server->registerHandler(this);
}

void MessageHandler::push()
{
    server->runHandler(this);
}

bool MessageHandler::heldForFirstState(const QJsonObject& request, QWebSocket* connection)
{
    Platform* desktop = platform();
    if (!desktop->awaitsFirstState() || held.size() >= MostHeldRequests)
        return false;
    if (held.isEmpty())
        connect(desktop, &Platform::firstStateArrived, this, &MessageHandler::handleHeld);
    // The same request twice, as every push is, would only bring the same answer twice.
    const QPair<QJsonObject, QPointer<QWebSocket>> kept(request, connection);
    if (!held.contains(kept))
        held.append(kept);
    return true;
}

void MessageHandler::handleHeld()
{
    disconnect(platform(), &Platform::firstStateArrived, this, &MessageHandler::handleHeld);
    // A device that left or was forgotten meanwhile is owed nothing.
    for (const auto& [request, connection] : std::exchange(held, {})) {
        if (connection && server->clients().contains(connection))
            handle(request, connection);
    }
}

Platform* MessageHandler::platform()
{
    return Core::instance()->platform();
}

App* MessageHandler::requestedApp(const QJsonObject& request, bool currentWhenEmpty)
{
    const QString id = request.value(Key::Id).toString();
    if (id.isEmpty())
        return currentWhenEmpty ? platform()->currentApp() : nullptr;
    return platform()->app(id);
}

bool MessageHandler::isServedIconSize(int size)
{
    return size >= SmallestIconSize && size <= LargestIconSize;
}

Server::Attachment MessageHandler::pngAttachment(const QPixmap& pixmap)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    pixmap.save(&buffer, "PNG");
    return {Server::Png, png};
}

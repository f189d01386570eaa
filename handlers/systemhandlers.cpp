#include "handlers/systemhandlers.h"

#include "platform/platform.h"
#include "server/protocol.h"
#include "server/server.h"

#include <QJsonArray>

void StateHandler::getOrSet(const QJsonObject& request, QWebSocket* connection, const std::function<QJsonValue()>& get,
                            const std::function<void(const QJsonValue&)>& set)
{
    if (heldForFirstState(request, connection))
        return;
    if (request.contains(Key::Value))
        set(request.value(Key::Value));
    else
        sendValue(connection, get());
}

void StateHandler::sendValue(QWebSocket* connection, const QJsonValue& value)
{
    server->sendJson(connection, {{Key::Method, method()}, {Key::Value, value}});
}

void VolumeHandler::handle(const QJsonObject& request, QWebSocket* connection)
{
    getOrSet(
        request, connection, [] { return platform()->volumeLevel(); },
        [](const QJsonValue& value) { platform()->setVolumeLevel(value.toInt()); });
}

void VolumeMuteHandler::handle(const QJsonObject& request, QWebSocket* connection)
{
    getOrSet(
        request, connection, [] { return platform()->volumeMute(); },
        [](const QJsonValue& value) { platform()->setVolumeMute(value.toBool()); });
}

void BrightnessHandler::handle(const QJsonObject& request, QWebSocket* connection)
{
    getOrSet(
        request, connection, [] { return platform()->brightness(); },
        [](const QJsonValue& value) { platform()->setBrightness(value.toInt()); });
}

void ScreenLockHandler::handle(const QJsonObject& request, QWebSocket* connection)
{
    getOrSet(
        request, connection, [] { return platform()->screenLocked(); },
        [](const QJsonValue& value) {
            if (value.toBool())
                platform()->lockScreen();
        });
}

void UnsupportedHandler::handle(const QJsonObject& request, QWebSocket* connection)
{
    if (heldForFirstState(request, connection))
        return;
    sendValue(connection, QJsonArray::fromStringList(platform()->unsupportedFeatures()));
}

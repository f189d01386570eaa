#pragma once

#include "server/server.h"

#include <QJsonObject>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QVector>

class App;
class Platform;
class QPixmap;
class QWebSocket;

// Base of every request handler: one object per method code, owned by the server. A handler
// that pushes answers an empty request exactly as it answers a real one. Handlers never answer
// with an error: a missing or malformed field simply ends the request.
class MessageHandler : public QObject
{
    Q_OBJECT
public:
    // Registration waits for the next turn of the event loop, after the caller has returned.
    MessageHandler(Server* server, const QString& method);

    const QString& method() const { return methodCode; }
    virtual void handle(const QJsonObject& request, QWebSocket* connection) = 0;

    void registerWithServer();
    void push();

protected:
    static Platform* platform();
    // The application named by "i"; with currentWhenEmpty, an empty "i" means the current one.
    // An id that names nothing never falls back.
    static App* requestedApp(const QJsonObject& request, bool currentWhenEmpty);
    // Sizes come from the network: outside 16..1024 pixels a request is not served.
    static bool isServedIconSize(int size);
    static Server::Attachment pngAttachment(const QPixmap& pixmap);
    static Server::Attachment jsonAttachment(const QByteArray& json) { return {Server::Json, json}; }
    // For handlers that read the desktop's state: while the desktop side is being switched on, the
    // request is kept and handled again once its first state has arrived, so that a client asking
    // right after it connected does not see the empty desktop of one that is off. True when kept.
    bool heldForFirstState(const QJsonObject& request, QWebSocket* connection);

    Server* const server;

private:
    void handleHeld();

    const QString methodCode;
    QVector<QPair<QJsonObject, QPointer<QWebSocket>>> held;
};

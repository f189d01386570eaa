#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

class QWebSocket;
class Server;

// Base of every request handler: one object per method code, owned by the server. A handler
// that pushes answers an empty request exactly as it answers a real one.
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
    Server* const server;

private:
    const QString methodCode;
};

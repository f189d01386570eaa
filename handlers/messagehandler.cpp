#include "handlers/messagehandler.h"

#include "server/server.h"

#include <QTimer>

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

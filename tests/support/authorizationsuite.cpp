#include "tests/support/authorizationsuite.h"

#include "handlers/authenticationhandler.h"
#include "server/protocol.h"
#include "tests/support/echohandler.h"

#include <QSettings>

void AuthorizationSuite::restartServer()
{
    delete server;
    server = new Server;
    server->setClock([this] { return now; });
    new AuthenticationHandler(server, Method::Authentication);
    new EchoHandler(server, Method::Volume);
}

void AuthorizationSuite::init()
{
    QSettings().clear();
    now += 24 * 3600 * 1000; // no back-off carries over
    restartServer();
}

void AuthorizationSuite::cleanup()
{
    delete server;
    server = nullptr;
}

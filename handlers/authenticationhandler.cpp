#include "handlers/authenticationhandler.h"

#include "server/protocol.h"
#include "server/server.h"

#include <QWebSocket>
#include <openssl/crypto.h>

namespace {
bool equalInConstantTime(const QByteArray& a, const QByteArray& b)
{
    return a.size() == b.size() && CRYPTO_memcmp(a.constData(), b.constData(), size_t(a.size())) == 0;
}
} // namespace

void AuthenticationHandler::handle(const QJsonObject& request, QWebSocket* connection)
{
    // Only a challenge can be answered, once; an admitted or waiting connection has none open.
    if (!server->isChallenged(connection))
        return;
    const QString id = connection->property(ConnectionProperty::DeviceId).toString();
    const QString token = connection->property(ConnectionProperty::SessionToken).toString();
    const QByteArray expected = Server::sessionKey(id, server->deviceSecret(id), token).toHex();
    const QByteArray answer = request.value(Key::ChallengeAnswer).toString().toUtf8();
    server->finishChallenge(connection, equalInConstantTime(expected, answer));
}

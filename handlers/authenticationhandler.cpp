#include "handlers/authenticationhandler.h"

#include "server/protocol.h"
#include "server/server.h"

#include <QWebSocket>
#include <algorithm>
#include <openssl/crypto.h>

namespace {
bool equalInConstantTime(const QByteArray& a, const QByteArray& b)
{
    return a.size() == b.size() && CRYPTO_memcmp(a.constData(), b.constData(), size_t(a.size())) == 0;
}

// Exactly 32 bytes as lower-case hexadecimal; anything else is empty.
QByteArray handshakeBytes(const QJsonValue& value)
{
    const QString text = value.toString();
    const bool wellFormed =
        text.size() == 2 * SecureSession::NonceSize && std::all_of(text.cbegin(), text.cend(), [](QChar c) {
            return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
        });
    return wellFormed ? QByteArray::fromHex(text.toLatin1()) : QByteArray();
}
} // namespace

void AuthenticationHandler::handle(const QJsonObject& request, QWebSocket* connection)
{
    if (server->secureSession(connection)) {
        handleSecure(request, connection);
        return;
    }
    // Only a challenge can be answered, once; an admitted or waiting connection has none open.
    if (!server->isChallenged(connection))
        return;
    const QString id = connection->property(ConnectionProperty::DeviceId).toString();
    const QString token = connection->property(ConnectionProperty::SessionToken).toString();
    const QByteArray expected = Server::sessionKey(id, server->deviceSecret(id), token).toHex();
    const QByteArray answer = request.value(Key::ChallengeAnswer).toString().toUtf8();
    server->finishChallenge(connection, equalInConstantTime(expected, answer));
}

void AuthenticationHandler::handleSecure(const QJsonObject& request, QWebSocket* connection)
{
    // Each step checks that it is the connection's turn for it; out of turn, the connection closes.
    if (request.contains(Key::PublicKey))
        server->receivePairingKey(connection, handshakeBytes(request.value(Key::PublicKey)));
    else
        server->answerSecureChallenge(connection, handshakeBytes(request.value(Key::Nonce)),
                                      handshakeBytes(request.value(Key::Proof)));
}

#include "tests/support/testclient.h"

#include "server/frame.h"
#include "server/protocol.h"

#include <QJsonDocument>
#include <QSignalSpy>
#include <QUrlQuery>

namespace {
constexpr int WaitMs = 5000;
}

QJsonObject request(const QString& method, const QJsonObject& fields)
{
    QJsonObject object = fields;
    object.insert(Key::Method, method);
    return object;
}

TestClient::TestClient(const QString& deviceId, QObject* parent) : QObject(parent), deviceId(deviceId)
{
    connect(&socket, &QWebSocket::binaryMessageReceived, this, &TestClient::onBinaryMessage);
}

bool TestClient::open(quint16 port, const QString& extraQuery)
{
    key.clear(); // every connection starts in clear
    QUrlQuery query(extraQuery);
    if (!deviceId.isEmpty())
        query.addQueryItem(Key::Id, deviceId);
    QUrl url(QStringLiteral("ws://127.0.0.1:%1/").arg(port));
    url.setQuery(query);
    QSignalSpy connected(&socket, &QWebSocket::connected);
    socket.open(url);
    return connected.wait(WaitMs);
}

bool TestClient::waitForDisconnected()
{
    if (socket.state() == QAbstractSocket::UnconnectedState)
        return true;
    QSignalSpy disconnected(&socket, &QWebSocket::disconnected);
    return disconnected.wait(WaitMs);
}

TestClient::Message TestClient::next()
{
    // Once the connection is gone nothing more can come: every message it carried is queued.
    if (received.isEmpty() && socket.state() != QAbstractSocket::UnconnectedState) {
        QSignalSpy arrived(this, &TestClient::messageReceived);
        arrived.wait(WaitMs);
    }
    return received.isEmpty() ? Message() : received.dequeue();
}

QString TestClient::nextMethod()
{
    return nextJson().value(Key::Method).toString();
}

bool TestClient::openExpecting(quint16 port, const QString& method)
{
    return open(port) && nextMethod() == method;
}

QJsonObject TestClient::replyAfter(const QList<QJsonObject>& requests, const QJsonObject& probe)
{
    for (const QJsonObject& object : requests)
        send(object);
    send(probe);
    return nextJson();
}

void TestClient::send(const QJsonObject& object)
{
    const QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Compact);
    sendRaw(key.isEmpty() ? json : cipher.encrypt(json, key));
}

void TestClient::sendRaw(const QByteArray& bytes)
{
    socket.sendBinaryMessage(bytes);
}

void TestClient::answerChallenge(const QString& answer)
{
    send({{Key::Method, Method::Authentication}, {Key::ChallengeAnswer, answer}});
}

void TestClient::onBinaryMessage(const QByteArray& frame)
{
    Message message;
    if (!Frame::decode(frame, &message.segment, &message.attachments))
        qWarning() << "Malformed frame from the server" << frame.toHex();
    const QByteArray json = key.isEmpty() ? message.segment : cipher.decrypt(message.segment, key);
    message.json = QJsonDocument::fromJson(json).object();
    learnFrom(message.json);
    received.enqueue(message);
    emit messageReceived();
}

void TestClient::learnFrom(const QJsonObject& json)
{
    if (json.value(Key::Method).toString() != Method::Authentication)
        return;
    if (json.contains(Key::Secret))
        secret = json.value(Key::Secret).toString();
    if (json.contains(Key::SessionToken)) {
        token = json.value(Key::SessionToken).toString();
        key = SessionCipher::sessionKey(deviceId, secret, token);
    }
}

bool TestClient::pair(Server& server)
{
    if (!open(server.port()) || nextJson().value(Key::Method).toString() != Method::Wait)
        return false;
    server.authorize(deviceId, true);
    return !nextJson().value(Key::Secret).toString().isEmpty() && nextJson().value(Key::Value).toBool();
}

bool TestClient::connectChallenged(Server& server)
{
    return pair(server) && leave() && open(server.port()) && nextJson().contains(Key::SessionToken);
}

bool TestClient::reconnect(quint16 port)
{
    if (!open(port) || !nextJson().contains(Key::SessionToken))
        return false;
    answerChallenge();
    return nextJson().value(Key::Value).toBool();
}

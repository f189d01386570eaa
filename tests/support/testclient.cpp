#include "tests/support/testclient.h"

#include "server/frame.h"
#include "server/keyschedule.h"
#include "server/protocol.h"
#include "server/random.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTimer>
#include <QUrlQuery>

namespace {
constexpr int WaitMs = 5000;

QString hex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

QByteArray bytes(const QJsonObject& json, const QString& key)
{
    return QByteArray::fromHex(json.value(key).toString().toLatin1());
}
} // namespace

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
    // Every connection starts in clear.
    key.clear();
    channel.reset();
    pairingKey.reset();
    commitment.clear();
    serverNonce.clear();
    code.clear();
    serverProven = false;
    wireBytes.clear();
    QUrlQuery query(extraQuery);
    if (!deviceId.isEmpty())
        query.addQueryItem(Key::Id, deviceId);
    if (secure && !query.hasQueryItem(Key::ClientVersion))
        query.addQueryItem(Key::ClientVersion, QString::number(SecureProtocolVersion));
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
        QEventLoop loop;
        connect(this, &TestClient::messageReceived, &loop, &QEventLoop::quit);
        connect(&socket, &QWebSocket::disconnected, &loop, &QEventLoop::quit);
        QTimer::singleShot(WaitMs, &loop, &QEventLoop::quit);
        loop.exec();
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
    if (channel) {
        sendRaw(seal(object));
        return;
    }
    const QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Compact);
    sendRaw(key.isEmpty() ? json : cipher.encrypt(json, key));
}

QByteArray TestClient::seal(const QJsonObject& object)
{
    return seal(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QByteArray TestClient::seal(const QByteArray& plain)
{
    return channel ? channel->seal(plain) : QByteArray();
}

void TestClient::sendRaw(const QByteArray& bytes)
{
    socket.sendBinaryMessage(bytes);
}

void TestClient::answerChallenge(const QString& answer)
{
    send({{Key::Method, Method::Authentication}, {Key::ChallengeAnswer, answer}});
}

void TestClient::answerChallenge()
{
    if (!secure) {
        answerChallenge(hex(key));
        return;
    }
    clientNonce = randomBytes(SecureSession::NonceSize);
    const QByteArray proof = KeySchedule::proof(KeySchedule::Role::Client, secret, deviceId, serverNonce, clientNonce);
    send(request(Method::Authentication, {{Key::Nonce, hex(clientNonce)}, {Key::Proof, hex(proof)}}));
    const auto keys = KeySchedule::sessionKeys(secret, clientNonce, serverNonce);
    channel = std::make_unique<SealedChannel>(KeySchedule::Role::Client, keys);
}

void TestClient::sendPairingKey()
{
    pairingKey = std::make_unique<KeyAgreement>();
    send(request(Method::Authentication, {{Key::PublicKey, hex(pairingKey->publicKey())}}));
}

void TestClient::onBinaryMessage(const QByteArray& wire)
{
    wireBytes.append(wire);
    QByteArray frame = wire;
    if (channel && !channel->open(wire, &frame)) {
        qWarning() << "A sealed frame from the server did not open";
        socket.close();
        return;
    }
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
    const QString method = json.value(Key::Method).toString();
    if (secure && (method == Method::Authentication || method == Method::Wait)) {
        learnSecurelyFrom(json);
        return;
    }
    if (method != Method::Authentication)
        return;
    if (json.contains(Key::Secret))
        secret = json.value(Key::Secret).toString();
    if (json.contains(Key::SessionToken)) {
        token = json.value(Key::SessionToken).toString();
        key = SessionCipher::sessionKey(deviceId, secret, token);
    }
}

void TestClient::learnSecurelyFrom(const QJsonObject& json)
{
    if (json.contains(Key::Commitment))
        commitment = bytes(json, Key::Commitment);
    if (json.contains(Key::PublicKey))
        learnServerKey(bytes(json, Key::PublicKey));
    if (json.contains(Key::Nonce))
        serverNonce = bytes(json, Key::Nonce);
    if (!json.value(Key::Value).toBool())
        return;
    if (!pendingSecret.isEmpty())
        secret = std::exchange(pendingSecret, QString());
    if (json.contains(Key::Proof)) {
        serverProven = KeySchedule::proofMatches(bytes(json, Key::Proof), KeySchedule::Role::Server, secret, deviceId,
                                                 serverNonce, clientNonce);
        if (!serverProven)
            socket.close();
    }
}

void TestClient::learnServerKey(const QByteArray& serverKey)
{
    // A server that chose its key after seeing ours could steer the code.
    if (!pairingKey || KeySchedule::commitment(serverKey) != commitment) {
        qWarning() << "The server's key does not match its commitment";
        socket.close();
        return;
    }
    const QByteArray shared = pairingKey->sharedSecret(serverKey);
    const QByteArray transcript = KeySchedule::transcriptHash(pairingKey->publicKey(), serverKey, deviceId);
    code = KeySchedule::pairingCode(shared, transcript);
    pendingSecret = KeySchedule::pairingSecret(shared, transcript);
    const auto keys = KeySchedule::sessionKeys(pendingSecret, pairingKey->publicKey(), serverKey);
    channel = std::make_unique<SealedChannel>(KeySchedule::Role::Client, keys);
}

bool TestClient::pair(Server& server)
{
    if (!open(server.port()))
        return false;
    if (secure) {
        if (!nextJson().contains(Key::Commitment))
            return false;
        sendPairingKey();
    }
    if (nextJson().value(Key::Method).toString() != Method::Wait)
        return false;
    server.authorize(deviceId, true);
    const bool secretArrived = secure || !nextJson().value(Key::Secret).toString().isEmpty();
    return secretArrived && nextJson().value(Key::Value).toBool();
}

bool TestClient::isChallenge(const QJsonObject& json) const
{
    return json.contains(secure ? Key::Nonce : Key::SessionToken);
}

bool TestClient::connectChallenged(Server& server)
{
    return pair(server) && leave() && open(server.port()) && isChallenge(nextJson());
}

bool TestClient::reconnect(quint16 port)
{
    if (!open(port) || !isChallenge(nextJson()))
        return false;
    answerChallenge();
    return nextJson().value(Key::Value).toBool() && (!secure || serverProven);
}

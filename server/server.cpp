#include "server/server.h"

#include "handlers/messagehandler.h"
#include "server/frame.h"
#include "server/jsontext.h"
#include "server/plainaddress.h"
#include "server/protocol.h"
#include "server/random.h"
#include "server/settingsfile.h"

#include <QGuiApplication>
#include <QHostInfo>
#include <QJsonDocument>
#include <QNetworkInterface>
#include <QSettings>
#include <QTcpServer>
#include <QTimer>
#include <QUrlQuery>
#include <QWebSocket>
#include <QWebSocketServer>

#include <algorithm>

namespace {
const QString LastUsedPortKey = QStringLiteral("lastUsedPort");
const QString AllowOlderClientsKey = QStringLiteral("allowOlderClients");
constexpr quint16 FirstDynamicPort = 49152;
constexpr int ListenRetryMs = 100;
constexpr auto NormalClosure = QWebSocketProtocol::CloseCodeNormal;
const QString ServiceType = QStringLiteral("_pavo._tcp");
const QString ServiceDomain = QStringLiteral("local");
constexpr int NetworkCheckMs = 5000;
// Marks a connection that was told once that it is not admitted: a stranger must not fill the log.
constexpr const char* PermissionDeniedLogged = "permissionDeniedLogged";
// Process-wide: set when a suspend withdrew the publication, so that only a resume restores it.
bool withdrawnForSuspend = false;

// Network bytes go into the log escaped and cut short: enough to diagnose, too little to flood.
QByteArray logPreview(const QByteArray& bytes)
{
    constexpr int Limit = 200;
    return bytes.size() <= Limit ? bytes : bytes.left(Limit) + "...";
}

bool hasBroadcastNetwork()
{
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        const auto flags = interface.flags();
        if (flags.testFlag(QNetworkInterface::IsLoopBack) || !flags.testFlag(QNetworkInterface::IsRunning))
            continue;
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            if (!entry.broadcast().isNull())
                return true;
        }
    }
    return false;
}

QString localHostName()
{
    QByteArray name = QHostInfo::localHostName().toUtf8();
    const int nul = name.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? name : name.left(nul));
}
} // namespace

Server::Server(QObject* parent)
    : QObject(parent),
      webSockets(new QWebSocketServer(QCoreApplication::applicationName(), QWebSocketServer::NonSecureMode, this))
{
    qRegisterMetaType<QList<QSslError>>();
    connect(&sorter, &ConnectionSorter::webSocketRequested, webSockets, &QWebSocketServer::handleConnection);
    connect(webSockets, &QWebSocketServer::newConnection, this, &Server::onNewConnection);
    connect(&zeroConf, &QZeroConf::error, this, &Server::onZeroConfError);
    connect(&zeroConf, &QZeroConf::servicePublished, this, &Server::onZeroConfServicePublished);
    zeroConf.addTxtRecord(QStringLiteral("os"), QStringLiteral("linux"));
    const QString ip = localNetworkAddress();
    if (!ip.isEmpty())
        zeroConf.addTxtRecord(QStringLiteral("ip"), ip);

    networkUsable = hasBroadcastNetwork();
    auto* networkTimer = new QTimer(this);
    networkTimer->setTimerType(Qt::CoarseTimer);
    connect(networkTimer, &QTimer::timeout, this, &Server::checkNetwork);
    networkTimer->start(NetworkCheckMs);

    startListening();
    if (qGuiApp)
        connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, &Server::onApplicationStateChanged);
}

Server::~Server()
{
    for (QWebSocket* connection : qAsConst(connectionList))
        connection->disconnect(this);
    delete listener;
}

QString Server::localNetworkAddress()
{
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && address != QHostAddress::LocalHost &&
            !address.isLoopback())
            return address.toString();
    }
    return QString();
}

quint16 Server::port() const
{
    return listener && listener->isListening() ? listener->serverPort() : 0;
}

void Server::startListening()
{
    QSettings settings;
    auto port = quint16(settings.value(LastUsedPortKey).toUInt());
    if (port < FirstDynamicPort)
        port = quint16(randomInt(FirstDynamicPort, 65535));

    if (listener) {
        listener->disconnect(this);
        listener->close();
        listener->deleteLater();
    }
    listener = new QTcpServer;
    if (!listener->listen(QHostAddress::Any, port)) {
        settings.remove(LastUsedPortKey);
        syncPrivately(settings);
        QTimer::singleShot(ListenRetryMs, Qt::PreciseTimer, this, &Server::startListening);
        return;
    }
    connect(listener, &QTcpServer::newConnection, this, &Server::acceptConnections);
    settings.setValue(LastUsedPortKey, port);
    syncPrivately(settings);
    publishService();
}

void Server::acceptConnections()
{
    while (QTcpSocket* socket = listener->nextPendingConnection())
        sorter.sort(socket);
}

void Server::publishService()
{
    QString name = QCoreApplication::applicationName() + QLatin1Char('@') + localHostName();
    if (nameCollisions > 0)
        name += QLatin1Char(' ') + QString::number(nameCollisions);
    zeroConf.publish(name, ServiceType, ServiceDomain, port());
}

void Server::onZeroConfError(QZeroConf::error_t error)
{
    qWarning() << "ZeroConf error" << int(error);
    if (error == QZeroConf::NameCollision) {
        ++nameCollisions;
        publishService();
    }
}

void Server::onZeroConfServicePublished() {}

void Server::checkNetwork()
{
    const bool usable = hasBroadcastNetwork();
    if (usable == networkUsable)
        return;
    networkUsable = usable;
    // The daemon announces only on the networks it knew at publication: announce afresh.
    if (usable && zeroConf.isPublished()) {
        zeroConf.unpublish();
        publishService();
    }
}

void Server::onApplicationStateChanged(Qt::ApplicationState state)
{
    if (state == Qt::ApplicationSuspended) {
        if (zeroConf.isPublished()) {
            zeroConf.unpublish();
            withdrawnForSuspend = true;
        }
    } else if (withdrawnForSuspend) {
        withdrawnForSuspend = false;
        publishService();
    }
}

void Server::onSslErrors(const QList<QSslError>& errors)
{
    qWarning() << "void Server::onSslErrors(const QList<QSslError>&)" << errors;
}

void Server::onNewConnection()
{
    QWebSocket* connection = webSockets->nextPendingConnection();
    if (!connection)
        return;
    // Connections outlive a recreated listening socket, so they belong to us.
    connection->setParent(this);
    limitIncomingSize(connection, MaxStrangerMessageSize);
    connectionList.append(connection);
    connect(connection, &QWebSocket::binaryMessageReceived, this, &Server::onBinaryMessageReceived);
    connect(connection, &QWebSocket::disconnected, this, &Server::socketDisconnected);

    const QUrlQuery query(connection->requestUrl());
    const QString id = query.queryItemValue(Key::Id, QUrl::FullyDecoded);
    const bool secure = query.queryItemValue(Key::ClientVersion).toInt() >= SecureProtocolVersion;
    if (!AuthorizedDevices::isPlainId(id) || (!secure && !allowsOlderClients())) {
        connection->close(NormalClosure);
        return;
    }
    if (secure)
        secureSessions[connection] = std::make_unique<SecureSession>();
    if (isAuthorized(id) && !consentRequired.contains(id))
        challenge(id, connection);
    else
        requestAuthorization(id, connection);
}

bool Server::allowsOlderClients()
{
    return QSettings().value(AllowOlderClientsKey, true).toBool();
}

void Server::setAllowOlderClients(bool allowed)
{
    QSettings settings;
    settings.setValue(AllowOlderClientsKey, allowed);
    syncPrivately(settings);
}

SecureSession* Server::secureSession(QWebSocket* connection) const
{
    const auto found = secureSessions.find(connection);
    return found == secureSessions.end() ? nullptr : found->second.get();
}

void Server::limitIncomingSize(QWebSocket* connection, qint64 bytes)
{
    connection->setMaxAllowedIncomingMessageSize(quint64(bytes));
    connection->setMaxAllowedIncomingFrameSize(quint64(bytes));
}

void Server::onBinaryMessageReceived(const QByteArray& message)
{
    auto* connection = qobject_cast<QWebSocket*>(sender());
    if (!connection)
        return;
    QByteArray data;
    if (!unwrap(connection, message, &data))
        return;
    QString error;
    const QJsonDocument document = parseJson(data, &error);
    if (!error.isEmpty()) {
        reject(connection, error, data, message);
        return;
    }
    dispatch(document.object(), connection, data);
}

bool Server::unwrap(QWebSocket* connection, const QByteArray& message, QByteArray* data)
{
    SecureSession* session = secureSession(connection);
    if (session && session->isSealed()) {
        // Altered, replayed, reordered or reflected: whoever sent it does not hold the keys, so the
        // device keeps its pairing.
        if (session->open(message, data))
            return true;
        qWarning() << "A sealed frame did not open; closing" << connection;
        connection->close(NormalClosure);
        return false;
    }
    const QByteArray key = connection->property(ConnectionProperty::SessionKey).toByteArray();
    *data = key.isEmpty() ? message : decrypt(message, key);
    return true;
}

void Server::reject(QWebSocket* connection, const QString& reason, const QByteArray& data, const QByteArray& message)
{
    qWarning() << "Cannot parse JSON" << reason << logPreview(data) << logPreview(message);
    // Only a device that proved its secret can have lost it since; anyone else who sends garbage
    // under a paired id merely borrowed the id, which travels in clear.
    const QString id = connection->property(ConnectionProperty::DeviceId).toString();
    const bool proven = clientList.contains(connection) &&
                        !connection->property(ConnectionProperty::SessionKey).toByteArray().isEmpty();
    if (proven && isAuthorized(id))
        consentRequired.insert(id);
    connection->close(NormalClosure); // may leave the client list at once
}

void Server::dispatch(const QJsonObject& object, QWebSocket* connection, const QByteArray& data)
{
    const QString method = object.value(Key::Method).toString();
    if (method != Method::Authentication && !clientList.contains(connection)) {
        logPermissionDenied(connection, data);
        return;
    }
    if (MessageHandler* handler = handlers.value(method)) {
        handler->handle(object, connection);
        return;
    }
    qWarning() << "Unhandled request" << logPreview(data);
    emit unhandledMessage(method);
}

void Server::logPermissionDenied(QWebSocket* connection, const QByteArray& data)
{
    if (connection->property(PermissionDeniedLogged).toBool())
        return;
    connection->setProperty(PermissionDeniedLogged, true);
    qWarning() << "Permission denied" << connection << logPreview(data);
}

void Server::socketDisconnected()
{
    auto* connection = qobject_cast<QWebSocket*>(sender());
    if (!connection)
        return;
    connection->disconnect(this);
    connectionList.removeAll(connection);
    secureSessions.erase(connection);
    if (pending == connection)
        clearPending();
    if (clientList.removeAll(connection) > 0)
        emit clientCountChanged(clientList.size());
    connection->deleteLater();
}

void Server::sendJson(QWebSocket* connection, const QJsonObject& object, const Attachments& attachments)
{
    QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Compact);
    SecureSession* session = secureSession(connection);
    if (session && session->isSealed()) {
        const QByteArray sealed = session->seal(Frame::encode(json, attachments));
        if (sealed.isEmpty())
            connection->close(NormalClosure); // nothing may go out in clear once sealed
        else
            connection->sendBinaryMessage(sealed);
        return;
    }
    const QByteArray key = connection->property(ConnectionProperty::SessionKey).toByteArray();
    if (!key.isEmpty())
        json = encrypt(json, key);
    connection->sendBinaryMessage(Frame::encode(json, attachments));
}

void Server::sendJson(QWebSocket* connection, const QJsonObject& object, const Attachment& attachment)
{
    sendJson(connection, object, Attachments{attachment});
}

void Server::send(QWebSocket* connection, const QString& method, QJsonObject object)
{
    object.insert(Key::Method, method);
    sendJson(connection, object);
}

void Server::broadcast(const QJsonObject& object, const Attachments& attachments)
{
    for (QWebSocket* client : qAsConst(clientList))
        sendJson(client, object, attachments);
}

void Server::broadcast(const QString& method, QJsonObject object)
{
    object.insert(Key::Method, method);
    broadcast(object);
}

void Server::runHandler(MessageHandler* handler)
{
    // Only approved devices may see the desktop's state; the others are still strangers.
    const QList<QWebSocket*> recipients = clientList;
    for (QWebSocket* client : recipients)
        handler->handle(QJsonObject(), client);
}

void Server::runHandler(const QString& method)
{
    if (MessageHandler* handler = handlers.value(method))
        runHandler(handler);
    else
        qWarning() << "void Server::runHandler(const QString&)"
                   << "No handler for" << method;
}

void Server::registerHandler(MessageHandler* handler)
{
    handlers.insert(handler->method(), handler);
}

void Server::requestAuthorization(const QString& id, QWebSocket* connection)
{
    const QHostAddress address = plainAddress(connection->peerAddress());
    if (pending || refusals.holdsOff(address)) {
        connection->close(NormalClosure);
        return;
    }
    pending = connection;
    pendingId = id;
    pendingAddress = address;
    // Asked once: whatever the user answers, the stored secret stays unless it is replaced.
    consentRequired.remove(id);
    // The user's time runs from the connection, also while a protocol 2 device sends its key.
    startDeadline(connection, promptTimeout, [this, connection] {
        if (pending == connection)
            refusePending();
    });
    if (SecureSession* session = secureSession(connection)) {
        const QByteArray commitment = session->startPairing();
        if (commitment.isEmpty())
            connection->close(NormalClosure);
        else
            send(connection, Method::Authentication,
                 QJsonObject{{Key::Commitment, QString::fromLatin1(commitment.toHex())}});
        return;
    }
    send(connection, Method::Wait, QJsonObject());
    askUser(connection, QString());
}

void Server::receivePairingKey(QWebSocket* connection, const QByteArray& key)
{
    SecureSession* session = secureSession(connection);
    if (pending != connection || !session || !session->receiveClientKey(key, pendingId)) {
        connection->close(NormalClosure); // out of turn or unusable: nothing is stored
        return;
    }
    send(connection, Method::Wait,
         QJsonObject{{Key::PublicKey, QString::fromLatin1(session->serverPublicKey().toHex())}});
    askUser(connection, session->pairingCode());
}

void Server::askUser(QWebSocket* connection, const QString& code)
{
    QString name = connection->peerName();
    QString ip = pendingAddress.toString();
    if (name.isEmpty())
        std::swap(name, ip);
    emit needUserAuthorization(connection, pendingId, name, ip, code);
}

void Server::challenge(const QString& id, QWebSocket* connection)
{
    // Challenges wait side by side, so that no one holds the others up; but one address may not
    // open them without end.
    if (challengesFrom(connection->peerAddress()) >= MaxChallengesPerAddress) {
        connection->close(NormalClosure);
        return;
    }
    connection->setProperty(ConnectionProperty::DeviceId, id);
    startDeadline(connection, challengeTimeout, [this, connection] {
        if (isChallenged(connection))
            connection->close(NormalClosure);
    });
    if (SecureSession* session = secureSession(connection)) {
        const QByteArray nonce = session->startChallenge();
        send(connection, Method::Authentication, QJsonObject{{Key::Nonce, QString::fromLatin1(nonce.toHex())}});
        return;
    }
    const QString token = randomToken();
    connection->setProperty(ConnectionProperty::SessionToken, token);
    const QByteArray key = sessionKey(id, deviceSecret(id), token);
    send(connection, Method::Authentication, QJsonObject{{Key::SessionToken, token}});
    // The challenge itself goes out in clear; from here on both directions are encrypted.
    connection->setProperty(ConnectionProperty::SessionKey, key);
}

// Owned by the connection: it goes when the connection goes, not when it would have fired.
void Server::startDeadline(QWebSocket* connection, int milliseconds, const std::function<void()>& expired)
{
    auto* deadline = new QTimer(connection);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, this, expired);
    deadline->start(milliseconds);
}

int Server::challengesFrom(const QHostAddress& address) const
{
    return int(std::count_if(connectionList.cbegin(), connectionList.cend(), [this, &address](QWebSocket* connection) {
        return isChallenged(connection) && connection->peerAddress() == address;
    }));
}

bool Server::isChallenged(QWebSocket* connection) const
{
    if (!connection || clientList.contains(connection))
        return false;
    if (const SecureSession* session = secureSession(connection))
        return session->awaitsAnswer();
    return !connection->property(ConnectionProperty::SessionToken).toString().isEmpty();
}

void Server::finishChallenge(QWebSocket* connection, bool granted)
{
    if (!isChallenged(connection))
        return;
    if (granted) {
        admit(connection);
        return;
    }
    connection->setProperty(ConnectionProperty::SessionToken, QVariant()); // one answer only
    connection->close(NormalClosure);
}

void Server::answerSecureChallenge(QWebSocket* connection, const QByteArray& nonce, const QByteArray& proof)
{
    SecureSession* session = secureSession(connection);
    const QString id = connection->property(ConnectionProperty::DeviceId).toString();
    if (!session || !isChallenged(connection) || !session->answerChallenge(deviceSecret(id), id, nonce, proof)) {
        connection->close(NormalClosure); // the device stays paired
        return;
    }
    // The proof tells the device that it reached the desktop it paired with.
    admit(connection, QJsonObject{{Key::Proof, QString::fromLatin1(session->serverProof().toHex())}});
}

void Server::authorize(const QString& id, bool granted)
{
    // A late answer about a device that left must not admit whoever waits now.
    if (!pending || !pending->isValid() || id != pendingId)
        return;
    if (!granted) {
        refusePending();
        return;
    }
    SecureSession* session = secureSession(pending);
    if (session && session->pairingSecret().isEmpty())
        return; // the user cannot have seen the code yet
    QWebSocket* connection = pending;
    clearPending();
    const QString secret = session ? session->pairingSecret() : randomToken();
    if (session)
        session->sealPairing();
    else
        send(connection, Method::Authentication, QJsonObject{{Key::Secret, secret}});
    if (!connection->isValid())
        return;
    devices.insert(id, secret);
    connection->setProperty(ConnectionProperty::DeviceId, id); // so that forgetting the device closes it
    admit(connection);
}

void Server::refusePending()
{
    QWebSocket* connection = pending;
    refusals.refused(pendingAddress);
    clearPending();
    connection->close(NormalClosure);
}

void Server::clearPending()
{
    pending = nullptr;
    pendingId.clear();
    pendingAddress.clear();
}

void Server::admit(QWebSocket* connection, QJsonObject verdict)
{
    clientList.append(connection);
    limitIncomingSize(connection, MaxIncomingMessageSize);
    verdict.insert(Key::Value, true);
    send(connection, Method::Authentication, verdict);
    emit clientCountChanged(clientList.size());
}

void Server::deauthorize(const QString& id)
{
    devices.remove(id);
    consentRequired.remove(id);
}

void Server::deauthorizeAll()
{
    devices.clear();
    consentRequired.clear();
    const QList<QWebSocket*> admitted = clientList;
    for (QWebSocket* client : admitted)
        client->close(NormalClosure);
}

void Server::forget(const QString& id)
{
    deauthorize(id);
    const QList<QWebSocket*> admitted = clientList;
    for (QWebSocket* client : admitted) {
        if (client->property(ConnectionProperty::DeviceId).toString() == id)
            client->close(NormalClosure);
    }
}

#pragma once

#include "server/authorizeddevices.h"
#include "server/connectionsorter.h"
#include "server/qzeroconf.h"
#include "server/refusalbackoff.h"
#include "server/securesession.h"
#include "server/sessioncipher.h"

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QSet>
#include <QSslError>

#include <functional>
#include <memory>
#include <unordered_map>

class MessageHandler;
class QTcpServer;
class QWebSocket;
class QWebSocketServer;

// Owns the listening socket, every client connection and the method table. Requests travel
// socket -> decrypt -> parse -> gate -> handler; replies go out through sendJson. The same port
// serves the browser remote's files to plain HTTP requests.
class Server : public QObject
{
    Q_OBJECT
public:
    enum MessageType : qint8 { Json = 0, Png = 1 };
    Q_ENUM(MessageType)
    using Attachment = QPair<MessageType, QByteArray>;
    using Attachments = QList<Attachment>;

    // Larger incoming messages close the connection; no request comes near this.
    static constexpr qint64 MaxIncomingMessageSize = 1024 * 1024;
    // Before admission a device can only answer its challenge, which takes a hundred bytes.
    static constexpr qint64 MaxStrangerMessageSize = 4 * 1024;
    static constexpr int MaxChallengesPerAddress = 4;

    explicit Server(QObject* parent = nullptr);
    ~Server() override;

    quint16 port() const;
    // The machine's address on the local network, for clients that DNS-SD resolution gives
    // nothing better: the first IPv4 address that is not a loopback one; empty without one.
    static QString localNetworkAddress();
    const QList<QWebSocket*>& connections() const { return connectionList; }
    const QList<QWebSocket*>& clients() const { return clientList; }

    void sendJson(QWebSocket* connection, const QJsonObject& object, const Attachments& attachments = {});
    void sendJson(QWebSocket* connection, const QJsonObject& object, const Attachment& attachment);
    void send(QWebSocket* connection, const QString& method, QJsonObject object);
    void broadcast(const QJsonObject& object, const Attachments& attachments = {});
    void broadcast(const QString& method, QJsonObject object);
    void runHandler(MessageHandler* handler);
    void runHandler(const QString& method);
    void registerHandler(MessageHandler* handler);

    bool isAuthorized(const QString& id) const { return devices.contains(id); }
    QString deviceSecret(const QString& id) const { return devices.secret(id); }
    int authorizedDeviceCount() const { return devices.count(); }
    QStringList authorizedDeviceIds() const { return devices.ids(); }
    void deauthorize(const QString& id);
    // The user's decision on the device that waits for it.
    void authorize(const QString& id, bool granted);
    // The verdict on a challenged connection's answer.
    void finishChallenge(QWebSocket* connection, bool granted);
    // A connection that was challenged and has not answered yet.
    bool isChallenged(QWebSocket* connection) const;
    // How long a challenged connection may stay without answering.
    void setChallengeTimeout(int milliseconds) { challengeTimeout = milliseconds; }
    // How long the user has to decide before the waiting device counts as refused.
    void setPromptTimeout(int milliseconds) { promptTimeout = milliseconds; }
    // How long a new connection may take to send its request head.
    void setRequestHeadTimeout(int milliseconds) { sorter.setHeadTimeout(milliseconds); }
    void setClock(RefusalBackoff::Clock clock) { refusals.setClock(std::move(clock)); }
    // Protocol 1 clients: on by default, as every client that exists speaks it.
    static bool allowsOlderClients();
    static void setAllowOlderClients(bool allowed);

    // The protocol 2 state of a connection that asked for it; null for protocol 1.
    SecureSession* secureSession(QWebSocket* connection) const;
    // A protocol 2 device waiting for the user sent its pairing key: the prompt can show the code.
    void receivePairingKey(QWebSocket* connection, const QByteArray& key);
    // A protocol 2 device's answer to its challenge: admitted with the server's proof, or closed.
    void answerSecureChallenge(QWebSocket* connection, const QByteArray& nonce, const QByteArray& proof);

    QByteArray encrypt(const QByteArray& plain, const QByteArray& key) const { return cipher.encrypt(plain, key); }
    QByteArray decrypt(const QByteArray& frame, const QByteArray& key) const { return cipher.decrypt(frame, key); }
    static QByteArray sessionKey(const QString& id, const QString& secret, const QString& token)
    {
        return SessionCipher::sessionKey(id, secret, token);
    }

    void publishService();
    // Keeps the publication in step with the network: republished when a network appears.
    void checkNetwork();

signals:
    void clientCountChanged(int count);
    void unhandledMessage(QString method);
    // The code is empty for a protocol 1 device, which cannot show one.
    void needUserAuthorization(QObject* obj, QString id, QString name, QString ip, QString code);

public slots:
    void onSslErrors(const QList<QSslError>& errors);
    void onNewConnection();
    void onBinaryMessageReceived(const QByteArray& message);
    void socketDisconnected();
    void onZeroConfError(QZeroConf::error_t error);
    void onZeroConfServicePublished();
    void deauthorizeAll();
    // Forgets one device and closes its connections.
    void forget(const QString& id);
    // Withdraws the publication while the application is suspended, and brings it back after.
    void onApplicationStateChanged(Qt::ApplicationState state);

private:
    void startListening();
    void acceptConnections();
    void requestAuthorization(const QString& id, QWebSocket* connection);
    void askUser(QWebSocket* connection, const QString& code);
    void challenge(const QString& id, QWebSocket* connection);
    int challengesFrom(const QHostAddress& address) const;
    void startDeadline(QWebSocket* connection, int milliseconds, const std::function<void()>& expired);
    void admit(QWebSocket* connection, QJsonObject verdict = {});
    // The prompt ended without the user's consent: the waiting device is refused.
    void refusePending();
    void clearPending();
    void logPermissionDenied(QWebSocket* connection, const QByteArray& data);
    static void limitIncomingSize(QWebSocket* connection, qint64 bytes);
    // Closes the connection of an unreadable message; a proven device must then pair again.
    void reject(QWebSocket* connection, const QString& reason, const QByteArray& data, const QByteArray& message);
    void dispatch(const QJsonObject& object, QWebSocket* connection, const QByteArray& data);
    // False when a sealed frame does not open; the connection is then closed.
    bool unwrap(QWebSocket* connection, const QByteArray& message, QByteArray* data);

    QZeroConf zeroConf;
    int nameCollisions = 0;
    bool networkUsable = false;
    QTcpServer* listener = nullptr;
    ConnectionSorter sorter;
    // Never listens: it takes the upgrade requests the sorter hands on.
    QWebSocketServer* webSockets;
    QList<QWebSocket*> connectionList;
    QList<QWebSocket*> clientList;
    SessionCipher cipher;
    std::unordered_map<QWebSocket*, std::unique_ptr<SecureSession>> secureSessions;
    // The one connection that waits for the user's decision; challenges need no slot.
    QPointer<QWebSocket> pending;
    // The device the pending connection speaks for: a decision about another device is stale.
    QString pendingId;
    QHostAddress pendingAddress;
    QMap<QString, MessageHandler*> handlers;
    AuthorizedDevices devices;
    // Paired devices whose proven connection sent what did not decrypt: the next connection under
    // the id asks the user, and only consent replaces the old secret.
    QSet<QString> consentRequired;
    RefusalBackoff refusals;
    int challengeTimeout = 10000;
    int promptTimeout = 60000;
};

#pragma once

#include "server/keyagreement.h"
#include "server/sealedchannel.h"
#include "server/server.h"

#include <QJsonObject>
#include <QQueue>
#include <QWebSocket>

#include <memory>

// A request: the method code under "_" and the given fields.
QJsonObject request(const QString& method, const QJsonObject& fields = {});

// A device on loopback: a real QWebSocket that speaks the protocol with the same framing and
// cipher code as the server, keeps what it learns (secret, token, key) and queues every message.
// With `secure` set it speaks protocol 2: it checks the server's commitment and proof and seals
// its requests.
class TestClient : public QObject
{
    Q_OBJECT
public:
    struct Message
    {
        QJsonObject json;
        Server::Attachments attachments;
        QByteArray segment; // as received: ciphertext on an encrypted connection
    };

    explicit TestClient(const QString& deviceId = QStringLiteral("device-1"), QObject* parent = nullptr);

    // Connects to ws://127.0.0.1:<port>/ with "i" = the device id (unless empty) and extra items.
    bool open(quint16 port, const QString& extraQuery = QString());
    bool waitForDisconnected();
    // Closes from this side and waits until the connection is gone.
    bool leave()
    {
        socket.close();
        return waitForDisconnected();
    }
    bool isConnected() const { return socket.state() == QAbstractSocket::ConnectedState; }
    QWebSocketProtocol::CloseCode closeCode() const { return socket.closeCode(); }

    // The next message, waiting for it if needed; an empty object when none came.
    Message next();
    QJsonObject nextJson() { return next().json; }
    QString nextMethod();
    // Opens and checks that the first message carries the given method code.
    bool openExpecting(quint16 port, const QString& method);
    // Requests are served in order: the reply to probe, if it comes first, proves that none of
    // the requests before it was answered. Returns the first message after sending them all.
    QJsonObject replyAfter(const QList<QJsonObject>& requests, const QJsonObject& probe);

    void send(const QJsonObject& object); // encrypted once a key is known
    void sendRaw(const QByteArray& bytes);
    void answerChallenge(const QString& answer);
    // The right answer, in either protocol.
    void answerChallenge();
    // Protocol 2: the pairing key, sent in answer to the server's commitment.
    void sendPairingKey();
    // Protocol 2: the next sealed request, for a test to send, alter, hold back or repeat.
    QByteArray seal(const QJsonObject& object);
    QByteArray seal(const QByteArray& plain);

    // Pairs an unknown device: waits for "wa", grants, and reads the secret and the verdict.
    bool pair(Server& server);
    // Reconnects a paired device and answers its challenge correctly.
    bool reconnect(quint16 port);
    // Pairs, leaves and connects again: challenged, the answer not yet sent.
    bool connectChallenged(Server& server);

    const QString deviceId;
    QString secret;
    QString token;
    QByteArray key;
    QWebSocket socket;
    bool secure = false;
    QString code;                // the pairing code this side worked out
    bool serverProven = false;   // the verdict carried the proof of the desktop it paired with
    QList<QByteArray> wireBytes; // every frame of this connection as it travelled

signals:
    void messageReceived();

private:
    void onBinaryMessage(const QByteArray& frame);
    void learnFrom(const QJsonObject& json);
    bool isChallenge(const QJsonObject& json) const;
    void learnSecurelyFrom(const QJsonObject& json);
    void learnServerKey(const QByteArray& serverKey);

    QQueue<Message> received;
    SessionCipher cipher;
    std::unique_ptr<KeyAgreement> pairingKey;
    QByteArray commitment;
    QByteArray serverNonce;
    QByteArray clientNonce;
    QString pendingSecret;
    std::unique_ptr<SealedChannel> channel;
};

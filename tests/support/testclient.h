#pragma once

#include "server/server.h"

#include <QJsonObject>
#include <QQueue>
#include <QWebSocket>

// A request: the method code under "_" and the given fields.
QJsonObject request(const QString& method, const QJsonObject& fields = {});

// A device on loopback: a real QWebSocket that speaks the protocol with the same framing and
// cipher code as the server, keeps what it learns (secret, token, key) and queues every message.
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
    void answerChallenge() { answerChallenge(QString::fromLatin1(key.toHex())); }

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

signals:
    void messageReceived();

private:
    void onBinaryMessage(const QByteArray& frame);
    void learnFrom(const QJsonObject& json);

    QQueue<Message> received;
    SessionCipher cipher;
};

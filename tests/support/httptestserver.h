#pragma once

#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QQueue>
#include <QSslCertificate>
#include <QSslKey>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

class HttpReply;
class QTcpSocket;

// A scripted HTTP/1.1 server on 127.0.0.1 for the HTTP and updater suites. Each path has a
// standing answer and a queue of one-off answers that are used first; unknown paths get 404.
// Every request is recorded. Over https it shows a certificate of its own that the process trusts
// from then on.
class HttpTestServer : public QObject
{
    Q_OBJECT
public:
    enum class Scheme { Http, Https };

    struct Response
    {
        int status = 200;
        QByteArray body;
        QByteArray headers; // extra "Name: value\r\n" lines
        // false: no Content-Length; the connection is closed after the body.
        bool sendLength = true;
        // Milliseconds before the status line goes out; negative: never answers.
        int delay = 0;
        // Milliseconds between the first half of the body, sent with the head, and the second.
        int pause = 0;
    };

    struct Request
    {
        QByteArray method;
        QByteArray path;
        QByteArray query;
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };

    static Response answer(int status, const QByteArray& body = {})
    {
        Response response;
        response.status = status;
        response.body = body;
        return response;
    }

    explicit HttpTestServer(Scheme scheme = Scheme::Http, QObject* parent = nullptr);
    // Over https for a host name that the test maps to 127.0.0.1, on the given port (443: as the
    // program's built-in addresses reach it).
    HttpTestServer(const QString& hostName, quint16 port, QObject* parent = nullptr);
    QSslCertificate certificate() const { return server.certificate; }

    // Releases as the vendor signs them: the base64 Ed25519 signature of the bytes by a key pair
    // made for this process with tools/sign-release.sh, and that pair's public key.
    static QByteArray releaseSignature(const QByteArray& content);
    static QByteArray releasePublicKey();

    QUrl url(const QString& pathAndQuery = QStringLiteral("/")) const;
    void setResponse(const QByteArray& path, const Response& response) { standing.insert(path, response); }
    void enqueue(const QByteArray& path, const Response& response, int times = 1);

    const QList<Request>& requests() const { return requests_; }
    int count(const QByteArray& path) const;

private:
    void onReadyRead(QTcpSocket* socket);
    bool takeRequest(QByteArray& buffer, Request& request);
    void send(QTcpSocket* socket, const Request& request, const Response& response);

    void useCertificateFor(const QString& subject, const QString& alternativeName);

    QString hostName = QStringLiteral("127.0.0.1");
    QHash<QTcpSocket*, QByteArray> buffers;
    QHash<QByteArray, Response> standing;
    QHash<QByteArray, QQueue<Response>> queued;
    QList<Request> requests_;

    // Wraps every connection in TLS once it has a certificate.
    class Listener : public QTcpServer
    {
    public:
        QSslCertificate certificate;
        QSslKey key;

    protected:
        void incomingConnection(qintptr descriptor) override;
    };
    // Last, so that it goes first: its sockets report their disconnection while the rest is alive.
    Listener server;
};

// What one reply emitted before it deleted itself.
struct HttpOutcome
{
    QByteArray body;
    QStringList errors;
    int status = -1; // of the reply that finished passed on
    QString reason;  // of the same
    int finished = 0;
};

// Runs a reply until it has deleted itself (5 s at most). Connected only once the request has
// returned, so signals a reply emitted inside the request are never seen.
HttpOutcome runReply(HttpReply* reply);

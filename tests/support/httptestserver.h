#pragma once

#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QQueue>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

class HttpReply;
class QTcpSocket;

// A scripted HTTP/1.1 server on 127.0.0.1 for the HTTP and updater suites. Each path has a
// standing answer and a queue of one-off answers that are used first; unknown paths get 404.
// Every request is recorded.
class HttpTestServer : public QObject
{
    Q_OBJECT
public:
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

    explicit HttpTestServer(QObject* parent = nullptr);

    QUrl url(const QString& pathAndQuery = QStringLiteral("/")) const;
    void setResponse(const QByteArray& path, const Response& response) { standing.insert(path, response); }
    void enqueue(const QByteArray& path, const Response& response, int times = 1);

    const QList<Request>& requests() const { return requests_; }
    int count(const QByteArray& path) const;

private:
    void onReadyRead(QTcpSocket* socket);
    bool takeRequest(QByteArray& buffer, Request& request);
    void send(QTcpSocket* socket, const Request& request, const Response& response);

    QHash<QTcpSocket*, QByteArray> buffers;
    QHash<QByteArray, Response> standing;
    QHash<QByteArray, QQueue<Response>> queued;
    QList<Request> requests_;
    // Last, so that it goes first: its sockets report their disconnection while the rest is alive.
    QTcpServer server;
};

// What one reply emitted before it deleted itself.
struct HttpOutcome
{
    QByteArray body;
    QStringList errors;
    int status = -1; // of the reply that finished passed on
    int finished = 0;
};

// Runs a reply until it has deleted itself (5 s at most). Connected only once the request has
// returned, so signals a reply emitted inside the request are never seen.
HttpOutcome runReply(HttpReply* reply);

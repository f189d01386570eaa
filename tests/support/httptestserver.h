#pragma once

#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QQueue>
#include <QTcpServer>
#include <QUrl>

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
        QList<QPair<QByteArray, QByteArray>> headers;
        // false: no Content-Length; the connection is closed after the body.
        bool sendLength = true;
        // Milliseconds before the status line goes out.
        int delay = 0;
        // Reads the request and never answers.
        bool silent = false;
        // The body goes out in this many parts, the first with the head, the others this many
        // milliseconds apart.
        int parts = 1;
        int partInterval = 0;
    };

    struct Request
    {
        QByteArray method;
        QByteArray path;
        QByteArray query;
        // Names in lower case.
        QMap<QByteArray, QByteArray> headers;
        QByteArray body;
    };

    static Response answer(int status, const QByteArray& body = {});

    explicit HttpTestServer(QObject* parent = nullptr);

    QUrl url(const QString& pathAndQuery = QStringLiteral("/")) const;
    void setResponse(const QByteArray& path, const Response& response);
    void enqueue(const QByteArray& path, const Response& response, int times = 1);

    const QList<Request>& requests() const { return requests_; }
    int count(const QByteArray& path) const;

signals:
    void requestReceived();

private slots:
    void onNewConnection();
    void onReadyRead();

private:
    bool takeRequest(QByteArray& buffer, Request& request);
    Response responseFor(const QByteArray& path);
    void send(QTcpSocket* socket, const Request& request, const Response& response);

    QHash<QTcpSocket*, QByteArray> buffers;
    QHash<QByteArray, Response> standing;
    QHash<QByteArray, QQueue<Response>> queued;
    QList<Request> requests_;
    // Last, so that it goes first: its sockets report their disconnection while the rest is alive.
    QTcpServer server;
};

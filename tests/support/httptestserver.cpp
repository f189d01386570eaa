#include "tests/support/httptestserver.h"

#include "http/httpreply.h"

#include <QDebug>
#include <QPointer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

HttpTestServer::HttpTestServer(QObject* parent) : QObject(parent)
{
    connect(&server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                buffers.remove(socket);
                socket->deleteLater();
            });
        }
    });
    if (!server.listen(QHostAddress::LocalHost))
        qWarning() << "Cannot listen:" << server.errorString();
}

QUrl HttpTestServer::url(const QString& pathAndQuery) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server.serverPort()).arg(pathAndQuery));
}

void HttpTestServer::enqueue(const QByteArray& path, const Response& response, int times)
{
    for (int i = 0; i < times; ++i)
        queued[path].enqueue(response);
}

int HttpTestServer::count(const QByteArray& path) const
{
    return int(std::count_if(requests_.cbegin(), requests_.cend(), [&](const Request& r) { return r.path == path; }));
}

void HttpTestServer::onReadyRead(QTcpSocket* socket)
{
    QByteArray& buffer = buffers[socket];
    buffer += socket->readAll();
    Request request;
    while (takeRequest(buffer, request)) {
        requests_.append(request);
        QQueue<Response>& queue = queued[request.path];
        const Response response =
            queue.isEmpty() ? standing.value(request.path, answer(404, "not found")) : queue.dequeue();
        if (response.delay >= 0)
            QTimer::singleShot(response.delay, socket, [=] { send(socket, request, response); });
    }
}

bool HttpTestServer::takeRequest(QByteArray& buffer, Request& request)
{
    const int end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    request.headers.clear();
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    const int length = request.headers.value("content-length").toInt();
    if (buffer.size() < end + 4 + length)
        return false;
    const QList<QByteArray> start = lines[0].trimmed().split(' ');
    const QList<QByteArray> target = start.value(1).split('?');
    request.method = start.value(0);
    request.path = target.value(0);
    request.query = target.value(1);
    request.body = buffer.mid(end + 4, length);
    buffer.remove(0, end + 4 + length);
    return true;
}

void HttpTestServer::send(QTcpSocket* socket, const Request& request, const Response& response)
{
    static const QHash<int, QByteArray> reasons{
        {200, "OK"}, {204, "No Content"}, {404, "Not Found"}, {503, "Service Unavailable"}};
    const QByteArray body = request.method == "HEAD" ? QByteArray() : response.body;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                      reasons.value(response.status, "Status") + "\r\n" + response.headers;
    head += response.sendLength ? "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n\r\n"
                                : QByteArray("Connection: close\r\n\r\n");
    const int half = response.pause > 0 ? body.size() / 2 : body.size();
    socket->write(head + body.left(half));
    QTimer::singleShot(response.pause, socket, [socket, rest = body.mid(half), close = !response.sendLength] {
        socket->write(rest);
        if (close)
            socket->disconnectFromHost();
    });
}

HttpOutcome runReply(HttpReply* reply)
{
    HttpOutcome outcome;
    QPointer<HttpReply> alive(reply);
    QObject scope; // a reply still alive at the end no longer reaches outcome
    QObject::connect(reply, &HttpReply::data, &scope, [&](const QByteArray& bytes) { outcome.body = bytes; });
    QObject::connect(reply, &HttpReply::error, &scope, [&](const QString& message) { outcome.errors.append(message); });
    QObject::connect(reply, &HttpReply::finished, &scope, [&](HttpReply* last) {
        outcome.status = last->statusCode();
        ++outcome.finished;
    });
    if (!QTest::qWaitFor([&] { return alive.isNull(); }, 5000))
        qWarning() << "Reply still alive after 5 s";
    return outcome;
}

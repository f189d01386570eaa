#include "tests/support/httptestserver.h"

#include <QTcpSocket>
#include <QTimer>

namespace {

QByteArray reason(int status)
{
    static const QHash<int, QByteArray> phrases{
        {200, "OK"},
        {204, "No Content"},
        {206, "Partial Content"},
        {302, "Found"},
        {404, "Not Found"},
        {500, "Internal Server Error"},
        {503, "Service Unavailable"},
    };
    return phrases.value(status, "Status");
}

QByteArray head(const HttpTestServer::Response& response, bool withLength)
{
    QByteArray text = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reason(response.status) + "\r\n";
    for (const auto& header : response.headers)
        text += header.first + ": " + header.second + "\r\n";
    text += withLength ? "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n"
                       : QByteArray("Connection: close\r\n");
    return text + "\r\n";
}

} // namespace

HttpTestServer::Response HttpTestServer::answer(int status, const QByteArray& body)
{
    Response response;
    response.status = status;
    response.body = body;
    return response;
}

HttpTestServer::HttpTestServer(QObject* parent) : QObject(parent)
{
    connect(&server, &QTcpServer::newConnection, this, &HttpTestServer::onNewConnection);
    if (!server.listen(QHostAddress::LocalHost))
        qWarning() << "Cannot listen:" << server.errorString();
}

QUrl HttpTestServer::url(const QString& pathAndQuery) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server.serverPort()).arg(pathAndQuery));
}

void HttpTestServer::setResponse(const QByteArray& path, const Response& response)
{
    standing.insert(path, response);
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

void HttpTestServer::onNewConnection()
{
    while (QTcpSocket* socket = server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, &HttpTestServer::onReadyRead);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void HttpTestServer::onReadyRead()
{
    auto* socket = qobject_cast<QTcpSocket*>(sender());
    QByteArray& buffer = buffers[socket];
    buffer += socket->readAll();
    Request request;
    while (takeRequest(buffer, request)) {
        requests_.append(request);
        emit requestReceived();
        const Response response = responseFor(request.path);
        if (response.silent)
            continue;
        QTimer::singleShot(response.delay, socket, [=] { send(socket, request, response); });
    }
}

bool HttpTestServer::takeRequest(QByteArray& buffer, Request& request)
{
    const int end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    QMap<QByteArray, QByteArray> headers;
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines[i].indexOf(':');
        if (colon > 0)
            headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    const int length = headers.value("content-length").toInt();
    if (buffer.size() < end + 4 + length)
        return false;
    const QList<QByteArray> start = lines[0].trimmed().split(' ');
    const QByteArray target = start.value(1);
    const int mark = target.indexOf('?');
    request.method = start.value(0);
    request.path = mark < 0 ? target : target.left(mark);
    request.query = mark < 0 ? QByteArray() : target.mid(mark + 1);
    request.headers = headers;
    request.body = buffer.mid(end + 4, length);
    buffer.remove(0, end + 4 + length);
    return true;
}

HttpTestServer::Response HttpTestServer::responseFor(const QByteArray& path)
{
    QQueue<Response>& queue = queued[path];
    if (!queue.isEmpty())
        return queue.dequeue();
    return standing.value(path, answer(404, "not found"));
}

void HttpTestServer::send(QTcpSocket* socket, const Request& request, const Response& response)
{
    const QByteArray body = request.method == "HEAD" ? QByteArray() : response.body;
    const int parts = qMax(1, response.parts);
    const int partSize = (body.size() + parts - 1) / parts;
    socket->write(head(response, response.sendLength) + body.left(partSize));
    for (int i = 1; i < parts; ++i) {
        const QByteArray part = body.mid(i * partSize, partSize);
        QTimer::singleShot(i * response.partInterval, socket, [socket, part] { socket->write(part); });
    }
    if (!response.sendLength)
        QTimer::singleShot((parts - 1) * response.partInterval, socket, [socket] { socket->disconnectFromHost(); });
}

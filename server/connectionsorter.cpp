#include "server/connectionsorter.h"

#include "server/plainaddress.h"
#include "server/requesthead.h"
#include "server/webpage.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

namespace {
// A dual-stack socket shows IPv4 peers in their mapped IPv6 form; the log shows them plainly.
QString peerName(const QTcpSocket* socket)
{
    return plainAddress(socket->peerAddress()).toString();
}
} // namespace

ConnectionSorter::ConnectionSorter(QObject* parent) : QObject(parent) {}

void ConnectionSorter::sort(QTcpSocket* socket)
{
    // The listening socket may be recreated while the connection lives.
    socket->setParent(this);
    // A head that does not fit stops the reading: the rest stays with the peer until it is closed.
    socket->setReadBufferSize(RequestHead::MaxSize + 1);
    auto* watch = new QTimer(socket);
    watch->setSingleShot(true);
    connect(watch, &QTimer::timeout, socket, [socket] {
        qWarning().noquote() << "No request within the time limit from" << peerName(socket) + "; closing";
        socket->abort();
    });
    connect(socket, &QTcpSocket::readyRead, watch, [this, socket, watch] { readHead(socket, watch); });
    connect(socket, &QTcpSocket::disconnected, watch, [socket] { socket->deleteLater(); });
    watch->start(headTimeout);
    if (socket->bytesAvailable() > 0)
        readHead(socket, watch);
}

void ConnectionSorter::readHead(QTcpSocket* socket, QTimer* watch)
{
    const QByteArray bytes = socket->peek(RequestHead::MaxSize + 1);
    const int headSize = RequestHead::completeSize(bytes);
    if (headSize == 0 || headSize > RequestHead::MaxSize) {
        if (bytes.size() > RequestHead::MaxSize) {
            qWarning().noquote() << "A request head over" << RequestHead::MaxSize << "bytes from"
                                 << peerName(socket) + "; closing";
            socket->abort();
        }
        return;
    }
    if (RequestHead::parse(bytes.left(headSize)).isWebSocketUpgrade()) {
        delete watch;
        socket->setReadBufferSize(0);
        emit webSocketRequested(socket);
        return;
    }
    disconnect(socket, &QTcpSocket::readyRead, watch, nullptr);
    watch->start(headTimeout); // the answer gets the same time again to leave
    answer(socket, headSize);
}

void ConnectionSorter::answer(QTcpSocket* socket, int headSize)
{
    const RequestHead request = RequestHead::parse(socket->read(headSize));
    if (!request.isValid())
        qWarning().noquote() << "A malformed request from" << peerName(socket);
    // A body that followed is not wanted, but closing with it unread would reset the connection.
    socket->readAll();
    socket->write(WebPage::answer(request));
    socket->disconnectFromHost();
}

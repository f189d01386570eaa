#pragma once

#include <QObject>

class QTcpSocket;
class QTimer;

// Reads the request head of each new connection on the program's port without consuming it:
// WebSocket upgrades go on, untouched, to whoever handles them; any other request is answered
// as a plain HTTP request for the browser remote's files, and the connection closed.
class ConnectionSorter : public QObject
{
    Q_OBJECT
public:
    explicit ConnectionSorter(QObject* parent = nullptr);

    // Takes the new connection over.
    void sort(QTcpSocket* socket);
    // How long a connection may take to send its request head, and to take the answer.
    void setHeadTimeout(int milliseconds) { headTimeout = milliseconds; }

signals:
    // The socket's request head is still unread; the receiver takes it over.
    void webSocketRequested(QTcpSocket* socket);

private:
    // The watch lives as long as the connection is ours: deleting it lets go of the socket.
    void readHead(QTcpSocket* socket, QTimer* watch);
    void answer(QTcpSocket* socket, int headSize);

    int headTimeout = 10000;
};

#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

// The head of an HTTP/1.x request: its request line and header fields, read strictly, as every
// browser writes them.
class RequestHead
{
public:
    // A longer head closes the connection: a browser's is a few hundred bytes.
    static constexpr int MaxSize = 8 * 1024;

    // The length of the head at the start of the bytes, blank line included; 0 while incomplete.
    static int completeSize(const QByteArray& bytes);
    static RequestHead parse(const QByteArray& head);

    bool isValid() const { return valid; }
    const QByteArray& method() const { return requestMethod; }
    // The target without its query.
    QByteArray path() const;
    // The first field of the name, compared without case; empty when absent.
    QByteArray field(const QByteArray& name) const;
    int fieldCount(const QByteArray& name) const;
    bool isWebSocketUpgrade() const;

private:
    bool parseRequestLine(const QByteArray& line);
    bool parseField(const QByteArray& line);
    // Whether a comma-separated field lists the token, compared without case.
    bool fieldListsToken(const QByteArray& name, const QByteArray& token) const;

    bool valid = false;
    QByteArray requestMethod;
    QByteArray target;
    QList<QPair<QByteArray, QByteArray>> fields;
};

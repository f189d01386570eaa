#pragma once

#include <QByteArray>

class RequestHead;

// The browser remote's files, compiled into the program, answered over plain HTTP on the
// program's own port.
class WebPage
{
public:
    // The whole response to a request that is not a WebSocket upgrade, head and body.
    static QByteArray answer(const RequestHead& request);

private:
    static QByteArray respond(const QByteArray& status, const QByteArray& fields, const QByteArray& body,
                              bool withBody);
    static QByteArray error(const QByteArray& status, bool withBody, const QByteArray& fields = {});
    // The resource that holds the file a request path names; empty for a path that names none.
    static QString resourcePath(const QByteArray& path);
    static QByteArray contentType(const QString& fileName);
    // Connections back to this server: "'self'" does not cover ws: in every browser.
    static QByteArray securityPolicy(const QByteArray& host);
};

#include "server/webpage.h"

#include "server/requesthead.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

// The resources live in a static library: the program keeps them only when something calls this.
static void initWebPageResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(webpage);
        return true;
    }();
    Q_UNUSED(registered)
}

namespace {
const QString ResourceFolder = QStringLiteral(":/web/");
const QString IndexFile = QStringLiteral("index.html");

// Names of our own files only: no dot first, so nothing climbs out of the folder.
const QRegularExpression FilePath(QStringLiteral("^/([A-Za-z0-9_-][A-Za-z0-9._-]*/)*[A-Za-z0-9_-][A-Za-z0-9._-]*$"));
// host[:port] as a browser sends it: a name or an IPv4 address, or an IPv6 one in brackets.
const QRegularExpression
    HostField(QStringLiteral("^(\\[[0-9A-Fa-f:.]{2,45}\\]|[A-Za-z0-9][A-Za-z0-9.-]{0,252})(:[0-9]{1,5})?$"));
} // namespace

QByteArray WebPage::answer(const RequestHead& request)
{
    if (!request.isValid())
        return error("400 Bad Request", true);
    const QByteArray host = request.field("host");
    if (request.fieldCount("host") != 1 || !HostField.match(QString::fromLatin1(host)).hasMatch())
        return error("400 Bad Request", true);
    const bool head = request.method() == "HEAD";
    if (!head && request.method() != "GET")
        return error("405 Method Not Allowed", true, "Allow: GET, HEAD\r\n");

    const QString resource = resourcePath(request.path());
    QFile file(resource);
    if (resource.isEmpty() || !file.open(QIODevice::ReadOnly))
        return error("404 Not Found", !head);
    const QByteArray fields = "Content-Type: " + contentType(resource) +
                              "\r\n"
                              "Cache-Control: no-cache\r\n"
                              "Content-Security-Policy: " +
                              securityPolicy(host) + "\r\n";
    return respond("200 OK", fields, file.readAll(), !head);
}

QByteArray WebPage::respond(const QByteArray& status, const QByteArray& fields, const QByteArray& body, bool withBody)
{
    return "HTTP/1.1 " + status + "\r\n" + fields + "Content-Length: " + QByteArray::number(body.size()) +
           "\r\n"
           "X-Content-Type-Options: nosniff\r\n"
           "Referrer-Policy: no-referrer\r\n"
           "Connection: close\r\n"
           "\r\n" +
           (withBody ? body : QByteArray());
}

QByteArray WebPage::error(const QByteArray& status, bool withBody, const QByteArray& fields)
{
    return respond(status,
                   fields + "Content-Type: text/plain; charset=utf-8\r\n"
                            "Cache-Control: no-store\r\n"
                            "Content-Security-Policy: default-src 'none'\r\n",
                   status.mid(4) + '\n', withBody);
}

QString WebPage::resourcePath(const QByteArray& path)
{
    initWebPageResources();
    if (path == "/")
        return ResourceFolder + IndexFile;
    const QString name = QString::fromLatin1(path);
    if (!FilePath.match(name).hasMatch())
        return QString();
    const QString resource = ResourceFolder + name.mid(1);
    return QFileInfo(resource).isFile() ? resource : QString();
}

QByteArray WebPage::contentType(const QString& fileName)
{
    static const QList<QPair<QString, QByteArray>> types = {
        {QStringLiteral("html"), "text/html; charset=utf-8"},
        {QStringLiteral("js"), "text/javascript; charset=utf-8"},
        {QStringLiteral("mjs"), "text/javascript; charset=utf-8"},
        {QStringLiteral("css"), "text/css; charset=utf-8"},
        {QStringLiteral("json"), "application/json"},
        {QStringLiteral("webmanifest"), "application/manifest+json"},
        {QStringLiteral("svg"), "image/svg+xml"},
        {QStringLiteral("png"), "image/png"},
        {QStringLiteral("ico"), "image/x-icon"},
        {QStringLiteral("woff2"), "font/woff2"},
    };
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    for (const auto& type : types) {
        if (type.first == suffix)
            return type.second;
    }
    return "application/octet-stream";
}

QByteArray WebPage::securityPolicy(const QByteArray& host)
{
    return "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' blob: data:; "
           "connect-src 'self' ws://" +
           host + "; manifest-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";
}

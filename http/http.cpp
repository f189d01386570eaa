#include "http/http.h"

#include "http/networkhttpreply.h"

#include <QDebug>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThreadStorage>

namespace {

int defaultReadTimeout = 10000;

const Http::Headers& processDefaultHeaders()
{
    static const Http::Headers headers{{"Accept-Charset", "utf-8"}, {"Connection", "Keep-Alive"}};
    return headers;
}

// A manager may only be used from the thread that created it.
QNetworkAccessManager& threadManager()
{
    static QThreadStorage<QNetworkAccessManager*> managers;
    if (!managers.hasLocalData()) {
        auto* manager = new QNetworkAccessManager;
        manager->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
        managers.setLocalData(manager);
    }
    return *managers.localData();
}

} // namespace

Http::Http() : defaultHeaders_(processDefaultHeaders()), readTimeout_(defaultReadTimeout) {}

Http& Http::instance()
{
    static Http http;
    return http;
}

void Http::setDefaultReadTimeout(int milliseconds)
{
    defaultReadTimeout = milliseconds;
}

void Http::addDefaultHeader(const QByteArray& name, const QByteArray& value)
{
    defaultHeaders_.insert(name, value);
}

HttpReply* Http::request(const HttpRequest& request)
{
    return new NetworkHttpReply(request, *this);
}

HttpReply* Http::request(const QUrl& url, QNetworkAccessManager::Operation operation, const QByteArray& body,
                         int offset)
{
    HttpRequest req;
    req.url = url;
    req.operation = operation;
    req.body = body;
    req.offset = offset;
    return request(req);
}

HttpReply* Http::get(const QUrl& url)
{
    return request(url);
}

HttpReply* Http::head(const QUrl& url)
{
    return request(url, QNetworkAccessManager::HeadOperation);
}

HttpReply* Http::post(const QUrl& url, const QByteArray& body, const QByteArray& contentType)
{
    return request(withBody(url, QNetworkAccessManager::PostOperation, body, contentType));
}

HttpReply* Http::put(const QUrl& url, const QByteArray& body, const QByteArray& contentType)
{
    return request(withBody(url, QNetworkAccessManager::PutOperation, body, contentType));
}

HttpRequest Http::withBody(const QUrl& url, QNetworkAccessManager::Operation operation, const QByteArray& body,
                           const QByteArray& contentType) const
{
    HttpRequest req;
    req.url = url;
    req.operation = operation;
    req.body = body;
    req.headers = defaultHeaders_;
    req.headers.insert("Content-Type", contentType.isEmpty() ? "application/x-www-form-urlencoded" : contentType);
    return req;
}

QNetworkReply* Http::networkReply(const HttpRequest& request)
{
    QNetworkRequest networkRequest(request.url);
    const Headers& headers = request.headers.isEmpty() ? defaultHeaders_ : request.headers;
    for (auto it = headers.cbegin(); it != headers.cend(); ++it)
        networkRequest.setRawHeader(it.key(), it.value());
    if (request.offset != 0)
        networkRequest.setRawHeader("Range", QStringLiteral("bytes=%1-").arg(request.offset).toLatin1());

    QNetworkAccessManager& manager = threadManager();
    switch (request.operation) {
    case QNetworkAccessManager::HeadOperation:
        return manager.head(networkRequest);
    case QNetworkAccessManager::GetOperation:
        return manager.get(networkRequest);
    case QNetworkAccessManager::PutOperation:
        return manager.put(networkRequest, request.body);
    case QNetworkAccessManager::PostOperation:
        return manager.post(networkRequest, request.body);
    case QNetworkAccessManager::DeleteOperation:
        return manager.deleteResource(networkRequest);
    default:
        qWarning() << "Unknown operation:" << int(request.operation);
        return nullptr;
    }
}

#include "http/cachedhttp.h"

#include "http/cachedhttpreply.h"
#include "http/localcache.h"
#include "http/wrappedhttpreply.h"

CachedHttp::CachedHttp(Http& http, const char* name) : http(http), cache_(LocalCache::instance(name)) {}

HttpReply* CachedHttp::request(const HttpRequest& request)
{
    if (request.operation != QNetworkAccessManager::GetOperation)
        return http.request(request);
    const QByteArray entry = key(request);
    const QByteArray body = cache_.value(entry);
    if (body.isNull())
        return new WrappedHttpReply(*this, entry, http.request(request));
    return new CachedHttpReply(body, request.url);
}

void CachedHttp::setMaxSeconds(uint seconds)
{
    cache_.setMaxSeconds(seconds);
}

void CachedHttp::setMaxSize(qint64 bytes)
{
    cache_.setMaxSize(bytes);
}

QByteArray CachedHttp::key(const HttpRequest& request)
{
    return request.url.toEncoded() + '|' + QByteArray::number(request.offset) + '|' + request.body;
}

#include "http/wrappedhttpreply.h"

#include "http/cachedhttp.h"
#include "http/cachedhttpreply.h"
#include "http/localcache.h"

WrappedHttpReply::WrappedHttpReply(CachedHttp& http, const QByteArray& key, HttpReply* origin)
    : HttpReply(origin), http(http), key(key), origin(origin)
{
    connect(origin, &HttpReply::finished, this, &WrappedHttpReply::originFinished);
}

void WrappedHttpReply::originFinished(HttpReply* reply)
{
    if (reply->isSuccessful()) {
        http.cache().insert(key, reply->body());
        emit data(reply->body());
        emit finished(this);
        return;
    }
    const QByteArray stale = http.cache().possiblyStaleValue(key);
    if (stale.isNull()) {
        emit error(reply->reasonPhrase());
        emit finished(this);
        return;
    }
    // An old copy beats no answer: the receiver sees a success with status 200.
    emit data(stale);
    auto* cached = new CachedHttpReply(stale, reply->url(), CachedHttpReply::EmitNothing);
    emit finished(cached);
    cached->deleteLater();
}

#pragma once

#include "http/http.h"

class LocalCache;

// Answers Get requests from a disk cache when it can, and from an old copy when the server
// fails; everything else goes straight to the wrapped client.
class CachedHttp : public Http
{
public:
    CachedHttp(Http& http, const char* name);

    using Http::request;
    HttpReply* request(const HttpRequest& request) override;

    void setMaxSeconds(uint seconds);
    void setMaxSize(qint64 bytes);
    LocalCache& cache() const { return cache_; }
    // The cache key of a request: the same url, offset and body give the same entry.
    static QByteArray key(const HttpRequest& request);

private:
    Http& http;
    LocalCache& cache_;
};

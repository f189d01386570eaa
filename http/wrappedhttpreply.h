#pragma once

#include "http/httpreply.h"

class CachedHttp;

// A cache miss: relays the network reply and stores a successful body. It is a child of the
// network reply and goes away with it.
class WrappedHttpReply : public HttpReply
{
    Q_OBJECT
public:
    WrappedHttpReply(CachedHttp& http, const QByteArray& key, HttpReply* origin);

    QUrl url() const override { return origin->url(); }
    int statusCode() const override { return origin->statusCode(); }
    QString reasonPhrase() const override { return origin->reasonPhrase(); }
    QByteArray body() const override { return origin->body(); }

private slots:
    void originFinished(HttpReply* reply);

private:
    CachedHttp& http;
    QByteArray key;
    HttpReply* origin;
};

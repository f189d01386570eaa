#pragma once

#include "http/httpreply.h"

// A reply answered from the cache: always 200, no headers.
class CachedHttpReply : public HttpReply
{
    Q_OBJECT
public:
    enum Emission { EmitLater, EmitNothing };

    // With EmitLater the signals come from the event loop, never while the request is being made.
    CachedHttpReply(const QByteArray& body, const QUrl& url, Emission emission = EmitLater);

    QUrl url() const override { return url_; }
    int statusCode() const override { return 200; }
    QByteArray body() const override { return body_; }

private slots:
    void emitSignals();

private:
    QByteArray body_;
    QUrl url_;
};

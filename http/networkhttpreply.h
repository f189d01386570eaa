#pragma once

#include "http/httpreply.h"
#include "http/httprequest.h"

#include <QNetworkReply>

class Http;
class QTimer;

// A reply over the network that retries Get and Head on server errors and on a silent server.
// It is a child of its current network reply, so it goes away with it.
class NetworkHttpReply : public HttpReply
{
    Q_OBJECT
public:
    NetworkHttpReply(const HttpRequest& request, Http& http);

    QUrl url() const override;
    int statusCode() const override;
    QString reasonPhrase() const override;
    RawHeaders headers() const override;
    QByteArray header(const QByteArray& name) const override;
    QByteArray body() const override { return body_; }

private slots:
    void replyFinished();
    void replyError(QNetworkReply::NetworkError code);
    void firstBytesArrived();
    void readTimeout();

private:
    bool isIdempotent() const;
    void attach(QNetworkReply* reply);
    void retry();
    void fail();
    void finish();

    Http& http;
    HttpRequest request;
    QNetworkReply* networkReply = nullptr;
    QTimer* readTimer;
    int retryCount = 0;
    bool timedOut = false;
    QByteArray body_;
};

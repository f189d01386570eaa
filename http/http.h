#pragma once

#include "http/httprequest.h"

class HttpReply;
class QNetworkReply;

// A client with its own default headers, read timeout and retry limit. Replies run on the
// thread that made the request.
class Http
{
public:
    using Headers = QMap<QByteArray, QByteArray>;

    Http();
    virtual ~Http() = default;

    // Only the process-wide default headers, no "User-Agent": the updater's client.
    static Http& instance();
    // Applies to clients constructed afterwards.
    static void setDefaultReadTimeout(int milliseconds);

    void addDefaultHeader(const QByteArray& name, const QByteArray& value);
    void setDefaultHeaders(const Headers& headers) { defaultHeaders_ = headers; }
    const Headers& defaultHeaders() const { return defaultHeaders_; }
    void setReadTimeout(int milliseconds) { readTimeout_ = milliseconds; }
    int readTimeout() const { return readTimeout_; }
    void setMaxRetries(int retries) { maxRetries_ = retries; }
    int maxRetries() const { return maxRetries_; }

    virtual HttpReply* request(const HttpRequest& request);
    HttpReply* request(const QUrl& url,
                       QNetworkAccessManager::Operation operation = QNetworkAccessManager::GetOperation,
                       const QByteArray& body = {}, int offset = 0);
    HttpReply* get(const QUrl& url);
    HttpReply* head(const QUrl& url);
    HttpReply* post(const QUrl& url, const QByteArray& body, const QByteArray& contentType);
    HttpReply* put(const QUrl& url, const QByteArray& body, const QByteArray& contentType);

    // The raw network reply, or null for an operation this client does not know.
    QNetworkReply* networkReply(const HttpRequest& request);

private:
    HttpRequest withBody(const QUrl& url, QNetworkAccessManager::Operation operation, const QByteArray& body,
                         const QByteArray& contentType) const;

    Headers defaultHeaders_;
    int readTimeout_;
    int maxRetries_ = 3;
};

#include "http/networkhttpreply.h"

#include "http/http.h"

#include <QDebug>
#include <QTimer>

NetworkHttpReply::NetworkHttpReply(const HttpRequest& request, Http& http)
    : http(http), request(request), readTimer(new QTimer(this))
{
    if (request.url.isEmpty())
        qWarning() << "Empty URL";
    readTimer->setSingleShot(true);
    readTimer->setInterval(http.readTimeout());
    connect(readTimer, &QTimer::timeout, this, &NetworkHttpReply::readTimeout);

    QNetworkReply* reply = http.networkReply(request);
    if (!reply) {
        // Nothing was sent; the caller still gets its one error and finished, but not before
        // request() has returned.
        QTimer::singleShot(0, this, &NetworkHttpReply::fail);
        return;
    }
    attach(reply);
    readTimer->start();
}

QUrl NetworkHttpReply::url() const
{
    return networkReply ? networkReply->url() : request.url;
}

int NetworkHttpReply::statusCode() const
{
    return networkReply ? networkReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() : 0;
}

QString NetworkHttpReply::reasonPhrase() const
{
    if (timedOut)
        return QStringLiteral("No answer within %1 ms").arg(http.readTimeout());
    if (!networkReply)
        return {};
    const QString phrase = networkReply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    // Without an answer from the server (refused, unreachable, a bad certificate), or when the
    // network layer refused a good one (a redirect from https to http), its own words say why.
    const bool refused = phrase.isEmpty() || statusCode() < 400;
    if (refused && networkReply->error() != QNetworkReply::NoError)
        return networkReply->errorString();
    return phrase;
}

HttpReply::RawHeaders NetworkHttpReply::headers() const
{
    return networkReply ? networkReply->rawHeaderPairs() : RawHeaders();
}

QByteArray NetworkHttpReply::header(const QByteArray& name) const
{
    return networkReply ? networkReply->rawHeader(name) : QByteArray();
}

void NetworkHttpReply::replyFinished()
{
    if (isSuccessful()) {
        body_ = networkReply->readAll();
        emit data(body_);
    }
    finish();
}

void NetworkHttpReply::replyError(QNetworkReply::NetworkError code)
{
    Q_UNUSED(code)
    const int status = statusCode();
    if (status >= 500 && status <= 599 && retryCount <= http.maxRetries() && isIdempotent())
        retry();
    else
        fail();
}

// Only the wait for the first byte is limited; a slow transfer may take as long as it needs.
// readyRead rather than downloadProgress: the network layer holds progress back for 100 ms.
void NetworkHttpReply::firstBytesArrived()
{
    readTimer->stop();
    disconnect(networkReply, &QNetworkReply::readyRead, this, &NetworkHttpReply::firstBytesArrived);
}

void NetworkHttpReply::readTimeout()
{
    if (!networkReply)
        return;
    // Disconnected first: the abort reports itself through error and finished, which must not
    // reach this reply.
    disconnect(networkReply, nullptr, this, nullptr);
    networkReply->abort();
    if (isIdempotent() && retryCount < http.maxRetries()) {
        retry();
        return;
    }
    networkReply->deleteLater();
    timedOut = true;
    fail();
}

bool NetworkHttpReply::isIdempotent() const
{
    return request.operation == QNetworkAccessManager::GetOperation ||
           request.operation == QNetworkAccessManager::HeadOperation;
}

void NetworkHttpReply::attach(QNetworkReply* reply)
{
    networkReply = reply;
    setParent(reply);
    connect(reply, &QNetworkReply::errorOccurred, this, &NetworkHttpReply::replyError, Qt::UniqueConnection);
    connect(reply, &QNetworkReply::finished, this, &NetworkHttpReply::replyFinished, Qt::UniqueConnection);
    connect(reply, &QNetworkReply::readyRead, this, &NetworkHttpReply::firstBytesArrived, Qt::UniqueConnection);
}

void NetworkHttpReply::retry()
{
    // The old reply is only deleted later, so re-parenting to the new one in time keeps this alive.
    disconnect(networkReply, nullptr, this, nullptr);
    networkReply->deleteLater();
    attach(http.networkReply(request));
    ++retryCount;
    readTimer->start();
}

void NetworkHttpReply::fail()
{
    emit error(url().toString() + QLatin1Char(' ') + QString::number(statusCode()) + QLatin1Char(' ') + reasonPhrase());
    finish();
}

void NetworkHttpReply::finish()
{
    readTimer->stop();
    if (networkReply) {
        disconnect(networkReply, nullptr, this, nullptr);
        emit finished(this);
        networkReply->deleteLater();
    } else {
        emit finished(this);
        deleteLater();
    }
}

#include "updater/checker.h"

#include "http/http.h"
#include "http/httpreply.h"
#include "updater/appcastparser.h"
#include "updater/defaultupdater.h"

#include <QDateTime>
#include <QDebug>
#include <QSettings>
#include <QTimer>
#include <QVersionNumber>

namespace updater {

namespace {

bool isHttps(const QUrl& url)
{
    return url.scheme() == QLatin1String("https");
}

} // namespace

Checker::Checker(DefaultUpdater* updater) : updater(updater) {}

void Checker::check()
{
    error_ = false;
    errorString_.clear();
    if (!isHttps(updater->feedUrl())) {
        // Later, as a failed request would end: whoever asked is still connecting to done().
        QTimer::singleShot(0, this, [this] { fail(QStringLiteral("not https")); });
        return;
    }
    HttpReply* reply = Http::instance().get(updater->feedUrl());
    connect(reply, &HttpReply::finished, this, &Checker::onFinished);
}

void Checker::onFinished(HttpReply* reply)
{
    if (!reply->isSuccessful()) {
        const QString status =
            reply->statusCode() ? QString::number(reply->statusCode()) + QLatin1Char(' ') : QString();
        fail(reply->reasonPhrase(), status);
        return;
    }
    parse(reply->body());
    // What we install runs as root or inside the user's shell: it must come from us unaltered.
    if (!isHttps(updater->downloadUrl())) {
        fail(QStringLiteral("it offers %1, not https").arg(updater->downloadUrl().toString()));
        return;
    }
    updater->checkFailures().succeeded();
    decide();
}

// Not recorded as a check, so that the next poll tries again.
void Checker::fail(const QString& reason, const QString& status)
{
    if (updater->checkFailures().isNew(updater->feedUrl(), status + reason))
        qWarning().noquote()
            << QStringLiteral("Update check failed: %1: %2%3").arg(updater->feedUrl().toString(), status, reason);
    error_ = true;
    errorString_ = reason;
    updater->setStatus(Updater::UpToDate);
    emit done();
}

void Checker::parse(const QByteArray& feed)
{
    if (updater->parser()) {
        updater->parser()->parse(feed);
        return;
    }
    AppcastParser appcast;
    appcast.setUpdater(updater);
    appcast.parse(feed);
}

// Only a newer version: an old release, however well signed, may have the faults we mended since.
void Checker::decide()
{
    const QVersionNumber offered = QVersionNumber::fromString(updater->version()).normalized();
    const bool available =
        !offered.isNull() && offered > QVersionNumber::fromString(updater->currentVersion()).normalized();
    if (available && updater->status() != Updater::UpdateDownloaded) {
        if (updater->automaticDownload())
            updater->startDownload();
        else
            updater->setStatus(Updater::UpdateAvailable);
    } else {
        updater->setStatus(Updater::UpToDate);
    }
    QSettings().setValue(QStringLiteral("updateCheck"), QDateTime::currentSecsSinceEpoch());
    emit done();
}

} // namespace updater

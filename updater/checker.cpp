#include "updater/checker.h"

#include "http/http.h"
#include "http/httpreply.h"
#include "updater/appcastparser.h"
#include "updater/defaultupdater.h"

#include <QDateTime>
#include <QDebug>
#include <QSettings>

namespace updater {

Checker::Checker(DefaultUpdater* updater) : updater(updater) {}

void Checker::check()
{
    error_ = false;
    errorString_.clear();
    HttpReply* reply = Http::instance().get(updater->feedUrl());
    connect(reply, &HttpReply::finished, this, &Checker::onFinished);
}

void Checker::onFinished(HttpReply* reply)
{
    if (!reply->isSuccessful()) {
        qWarning() << "Update check failed" << reply->statusCode() << reply->reasonPhrase();
        error_ = true;
        errorString_ = reply->reasonPhrase();
        updater->setStatus(Updater::UpToDate);
        emit done();
        return;
    }
    parse(reply->body());
    decide();
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

// Any other version counts, older ones too: the feed is the vendor's word on what to run.
void Checker::decide()
{
    const QString offered = updater->version();
    const bool available = !offered.isEmpty() && offered != updater->currentVersion();
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

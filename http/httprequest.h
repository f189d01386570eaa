#pragma once

#include <QByteArray>
#include <QMap>
#include <QNetworkAccessManager>
#include <QUrl>

struct HttpRequest
{
    QUrl url;
    QNetworkAccessManager::Operation operation = QNetworkAccessManager::GetOperation;
    QByteArray body;
    // Non-zero asks for the resource from this byte on.
    int offset = 0;
    // When non-empty, exactly these headers are sent instead of the client's defaults.
    QMap<QByteArray, QByteArray> headers;
};

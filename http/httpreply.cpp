#include "http/httpreply.h"

HttpReply::HttpReply(QObject* parent) : QObject(parent) {}

QByteArray HttpReply::header(const QByteArray& name) const
{
    Q_UNUSED(name)
    return {};
}

bool HttpReply::isSuccessful() const
{
    const int status = statusCode();
    return status >= 200 && status < 300;
}

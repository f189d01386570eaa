#include "http/cachedhttpreply.h"

#include <QTimer>

CachedHttpReply::CachedHttpReply(const QByteArray& body, const QUrl& url, Emission emission) : body_(body), url_(url)
{
    if (emission == EmitLater)
        QTimer::singleShot(0, this, &CachedHttpReply::emitSignals);
}

void CachedHttpReply::emitSignals()
{
    emit data(body_);
    emit finished(this);
    deleteLater();
}

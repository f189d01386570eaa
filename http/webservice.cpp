#include "http/webservice.h"

#include "http/cachedhttp.h"
#include "http/vendor.h"

#include <QCoreApplication>

QByteArray userAgent()
{
    static const QByteArray agent =
        (QCoreApplication::applicationName() + QLatin1Char('/') + QCoreApplication::applicationVersion() +
         QStringLiteral(" ( " PAVO_PRODUCT_URL " )"))
            .toUtf8();
    return agent;
}

QByteArray webServiceBaseUrl()
{
    static const QByteArray url(PAVO_WEB_SERVICE_URL);
    return url;
}

Http& cachedHttp()
{
    static Http* http = [] {
        auto* plain = new Http;
        plain->addDefaultHeader("User-Agent", userAgent());
        return new CachedHttp(*plain, "http");
    }();
    return *http;
}

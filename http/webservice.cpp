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

namespace {
QByteArray& baseUrl()
{
    static QByteArray url(PAVO_WEB_SERVICE_URL);
    return url;
}
} // namespace

QByteArray webServiceBaseUrl()
{
    return baseUrl();
}

void setWebServiceBaseUrl(const QByteArray& url)
{
    baseUrl() = url;
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

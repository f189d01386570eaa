#pragma once

#include <QByteArray>

class Http;

// "Pavo Server/1.5 ( <product page> )", from the application's name and version.
QByteArray userAgent();
// The vendor web service's base address, without a trailing slash.
QByteArray webServiceBaseUrl();
// Points the web service elsewhere, so that suites can serve it on loopback.
void setWebServiceBaseUrl(const QByteArray& url);
// The shared client for web-service lookups: sends userAgent() and caches Gets in the cache "http".
Http& cachedHttp();

// The web service's documents as the program reads them. The first byte picks what the rest is:
// even, an application's command document, loaded and then asked for by the admitted device;
// odd, the website index, also served from the cache as the document of a.example and b.example
// (the web service itself is out of reach), after which a browser shows each website the catalogue
// holds.
#include "fuzz/fuzzsupport.h"
#include "fuzz/messageharness.h"
#include "http/cachedhttp.h"
#include "http/cachedhttpreply.h"
#include "http/localcache.h"
#include "http/webservice.h"
#include "server/core.h"
#include "server/protocol.h"
#include "tests/support/testplatform.h"

#include <QCoreApplication>
#include <QJsonDocument>

namespace {
void settle()
{
    for (int turn = 0; turn < 4; ++turn)
        QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void serve(const QString& path, const QByteArray& body)
{
    HttpRequest request;
    request.url = QUrl(QString::fromUtf8(webServiceBaseUrl()) + path, QUrl::TolerantMode);
    LocalCache::instance("http").insert(CachedHttp::key(request), body);
}

class Harness
{
public:
    Harness() : messages(MessageHarness::Plain)
    {
        auto* platform = static_cast<TestPlatform*>(Core::instance()->platform());
        app = platform->addApp(QStringLiteral("org.example.Browser"), QStringLiteral("Browser"), true);
        settle();
    }

    void loadCommands(const QByteArray& document)
    {
        CachedHttpReply reply(document, QUrl(), CachedHttpReply::EmitNothing);
        app->parseCommands(reply);
        const QJsonObject request{{Key::Method, Method::Commands}, {Key::Id, app->id()}};
        messages.deliver(MessageHarness::Admitted, QJsonDocument(request).toJson(QJsonDocument::Compact), false);
        messages.recover();
    }

    void loadWebsites(const QByteArray& bytes)
    {
        serve(QStringLiteral("/web/index.json"), bytes);
        serve(QStringLiteral("/web/a.example.json"), bytes);
        serve(QStringLiteral("/web/b.example.json"), bytes);
        Core::instance()->loadWebsites();
        settle();
        for (const QString& domain : Core::instance()->websites().keys())
            app->setUrl(QUrl(QStringLiteral("https://") + domain + QStringLiteral("/")));
        app->setCurrent(false); // forgets the host, so that the next input's pages are new
        settle();
    }

private:
    MessageHarness messages;
    App* app = nullptr;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Harness* harness = (startFuzzApplication(), new Harness);
    if (size == 0)
        return 0;
    const QByteArray bytes = inputBytes(data + 1, size - 1);
    SlowInputGuard guard;
    if (data[0] & 1)
        harness->loadWebsites(bytes);
    else
        harness->loadCommands(bytes);
    return 0;
}

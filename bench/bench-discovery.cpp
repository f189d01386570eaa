// Time from a Server's construction until a browser on the same machine resolves its service,
// against a bare publication of the same kind measured in the same run. Runs against an
// avahi-daemon of its own: bash tests/support/with-avahi.sh build/bench/bench-discovery

#include "server/avahiqtpoll.h"
#include "server/qzeroconf.h"
#include "server/server.h"
#include "tests/support/avahidaemon.h"
#include "tests/support/testenvironment.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostInfo>
#include <QTextStream>
#include <QTimer>

#include <avahi-client/lookup.h>

#include <algorithm>
#include <functional>

namespace {
constexpr int Rounds = 5;
const char* const ServiceType = "_pavo._tcp";

// Browses the service type and tells the name of every instance it manages to resolve.
class Browser
{
public:
    std::function<void(const QString&)> resolved;

    Browser()
    {
        client = avahi_client_new(avahiQtPoll(), AvahiClientFlags(0), nullptr, nullptr, nullptr);
        if (client)
            browser = avahi_service_browser_new(client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, ServiceType, nullptr,
                                                AvahiLookupFlags(0), &Browser::onBrowse, this);
    }
    ~Browser()
    {
        if (client)
            avahi_client_free(client);
    }
    bool isValid() const { return browser; }

private:
    static void onBrowse(AvahiServiceBrowser*, AvahiIfIndex interface, AvahiProtocol protocol, AvahiBrowserEvent event,
                         const char* name, const char* type, const char* domain, AvahiLookupResultFlags, void* self)
    {
        if (event == AVAHI_BROWSER_NEW)
            avahi_service_resolver_new(static_cast<Browser*>(self)->client, interface, protocol, name, type, domain,
                                       AVAHI_PROTO_UNSPEC, AvahiLookupFlags(0), &Browser::onResolve, self);
    }
    static void onResolve(AvahiServiceResolver* resolver, AvahiIfIndex, AvahiProtocol, AvahiResolverEvent event,
                          const char* name, const char*, const char*, const char*, const AvahiAddress*, uint16_t,
                          AvahiStringList*, AvahiLookupResultFlags, void* self)
    {
        if (event == AVAHI_RESOLVER_FOUND)
            static_cast<Browser*>(self)->resolved(QString::fromUtf8(name));
        avahi_service_resolver_free(resolver);
    }

    AvahiClient* client = nullptr;
    AvahiServiceBrowser* browser = nullptr;
};

// Milliseconds from start() until the browser resolves the named instance.
double timeToResolve(Browser& browser, const QString& name, const std::function<void()>& start)
{
    QEventLoop loop;
    browser.resolved = [&](const QString& found) {
        if (found == name)
            loop.quit();
    };
    QTimer::singleShot(10000, &loop, [&] { loop.exit(1); });
    QElapsedTimer clock;
    clock.start();
    start();
    if (loop.exec() != 0)
        qFatal("%s was never resolved", qPrintable(name));
    return clock.nsecsElapsed() / 1e6;
}

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TestEnvironment environment;
    if (!qEnvironmentVariableIsSet("PAVO_TEST_NETNS"))
        qFatal("run through tests/support/with-avahi.sh");
    AvahiDaemon daemon(environment.home());
    if (!daemon.start())
        qFatal("Cannot start avahi-daemon");
    Browser browser;
    if (!browser.isValid())
        qFatal("Cannot browse for services");

    QVector<double> bare, server;
    for (int round = 0; round < Rounds; ++round) {
        // Fresh names every round: a name the daemon has seen before could be answered from its cache.
        const QString bareName = QStringLiteral("Bare %1@bench").arg(round);
        QZeroConf zeroConf;
        bare.append(timeToResolve(browser, bareName, [&] {
            zeroConf.publish(bareName, QString::fromLatin1(ServiceType), QStringLiteral("local"), 50000 + round);
        }));

        QCoreApplication::setApplicationName(QStringLiteral("Pavo Bench %1").arg(round));
        const QString serverName = QCoreApplication::applicationName() + QLatin1Char('@') + QHostInfo::localHostName();
        std::unique_ptr<Server> running;
        server.append(timeToResolve(browser, serverName, [&] { running = std::make_unique<Server>(); }));
    }

    QTextStream out(stdout);
    out << "discovery.bare.median: " << median(bare) << " ms\n";
    out << "discovery.server.median: " << median(server) << " ms\n";
    out << "discovery.server.max: " << *std::max_element(server.begin(), server.end()) << " ms\n";
    out << "discovery.ratio: " << median(server) / median(bare) << "\n";
    return 0;
}

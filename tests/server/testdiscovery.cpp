#include "server/protocol.h"
#include "server/qzeroconf.h"
#include "server/server.h"
#include "tests/support/avahidaemon.h"
#include "tests/support/testclient.h"
#include "tests/support/testenvironment.h"
#include "tests/support/warningcounter.h"

#include <QHostInfo>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {
constexpr int ResolveMs = 15000;
const QString ServiceType = "_pavo._tcp";
const QString Local = "local";
} // namespace

// The server as clients find it, and the publisher alone where the server never asks it, against
// an avahi-daemon of the test's own inside the private network namespace of with-avahi.sh.
class TestDiscovery : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    std::unique_ptr<AvahiDaemon> daemon;
    const QString name = "Pavo Server@" + QHostInfo::localHostName();

    bool published(const QString& serviceName, quint16 port)
    {
        return AvahiDaemon::browse().value(serviceName).port == port;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("PAVO_TEST_NETNS"), "run through tests/support/with-avahi.sh");
        daemon = std::make_unique<AvahiDaemon>(environment.home());
        QVERIFY(daemon->start());
    }

    void publishesAndWithdrawsWhileSuspended()
    {
        Server server;
        QTRY_VERIFY_WITH_TIMEOUT(published(name, server.port()), ResolveMs);
        QCOMPARE(AvahiDaemon::browse().value(name).txt, (QStringList{"ip=10.77.0.1", "os=linux"}));
        server.onApplicationStateChanged(Qt::ApplicationSuspended);
        QTRY_VERIFY_WITH_TIMEOUT(AvahiDaemon::browse().isEmpty(), ResolveMs);

        WarningCounter refusals("ZeroConf error");
        server.onApplicationStateChanged(Qt::ApplicationActive);
        server.onApplicationStateChanged(Qt::ApplicationActive); // published once, not again
        QTRY_VERIFY_WITH_TIMEOUT(published(name, server.port()), ResolveMs);
        QCOMPARE(refusals.count(), 0);
    }

    void renamesAfterACollision()
    {
        QProcess twin;
        twin.setProcessChannelMode(QProcess::MergedChannels);
        twin.start("avahi-publish", {"-s", name, "_pavo._tcp", "50001"});
        QByteArray twinLog;
        QTRY_VERIFY_WITH_TIMEOUT((twinLog += twin.readAll()).contains("Established"), ResolveMs);

        WarningCounter collisions("ZeroConf error -2");
        Server server;
        QTRY_VERIFY_WITH_TIMEOUT(published(name + " 1", server.port()), ResolveMs);
        QCOMPARE(collisions.count(), 1);
        QCOMPARE(AvahiDaemon::browse().value(name).port, quint16(50001));
        ::kill(pid_t(twin.processId()), SIGTERM);
        QVERIFY(twin.waitForFinished());
    }

    // A withdrawn publication must stay withdrawn when the daemon comes back, while a standing one is
    // made anew, also one that was refused while the daemon was away.
    void comesBackWithTheDaemonWithdrawalsDoNot()
    {
        QVERIFY(daemon->stop());
        WarningCounter refusals("ZeroConf error -1");
        Server server;
        QCOMPARE(refusals.count(), 1);
        TestClient device; // clients that know the address are served all the same
        QVERIFY(device.openExpecting(server.port(), Method::Wait));
        QVERIFY(daemon->start());
        QTRY_VERIFY_WITH_TIMEOUT(published(name, server.port()), ResolveMs);

        QZeroConf withdrawn;
        QSignalSpy withdrawnPublished(&withdrawn, &QZeroConf::servicePublished);
        withdrawn.publish("Pavo Server@gone", ServiceType, Local, 50124);
        QVERIFY(withdrawnPublished.wait(ResolveMs));
        withdrawn.unpublish();
        QTRY_VERIFY_WITH_TIMEOUT(AvahiDaemon::browse().keys() == QStringList{name}, ResolveMs);

        QVERIFY(daemon->stop());
        QVERIFY(daemon->start());
        QTRY_VERIFY_WITH_TIMEOUT(published(name, server.port()), ResolveMs);
        QCOMPARE(AvahiDaemon::browse().size(), 1);
        QCOMPARE(withdrawnPublished.count(), 1);
    }

    void invalidOrSecondPublicationIsRefusedOnce()
    {
        QZeroConf invalid, twice;
        QSignalSpy invalidFailed(&invalid, &QZeroConf::error), twiceFailed(&twice, &QZeroConf::error);
        QSignalSpy published(&twice, &QZeroConf::servicePublished);
        invalid.publish("Pavo Server@desk", "not a type", Local, 1);
        twice.publish("Pavo Server@desk", ServiceType, Local, 50123);
        QVERIFY(published.wait(ResolveMs));
        twice.publish("Pavo Server@other", ServiceType, Local, 50125);
        for (QSignalSpy* failed : {&invalidFailed, &twiceFailed}) {
            QCOMPARE(failed->count(), 1);
            QCOMPARE(failed->at(0).at(0).value<QZeroConf::error_t>(), QZeroConf::RegistrationFailed);
        }
        QVERIFY(!invalid.isPublished() && twice.isPublished());
    }
};

QTEST_MAIN(TestDiscovery)
#include "testdiscovery.moc"

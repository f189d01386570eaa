#include "server/qzeroconf.h"
#include "tests/support/avahidaemon.h"
#include "tests/support/testenvironment.h"

#include <QtTest>

#include <memory>

namespace {

const QString serviceType = QStringLiteral("_pavo._tcp");
const QString local = QStringLiteral("local");

// Every published service as "name:port", from one avahi-browse (about a second).
QString published()
{
    QStringList services;
    const QMap<QString, AvahiDaemon::Service> found = AvahiDaemon::browse();
    for (auto it = found.cbegin(); it != found.cend(); ++it)
        services << it.key() + ':' + QString::number(it->port);
    return services.join(QStringLiteral(", "));
}

} // namespace

// What the server never asks of QZeroConf; publication as the server uses it is tested through
// the server. Runs against an avahi-daemon of its own, in the private network namespace and
// system bus that with-avahi.sh provides.
class TestZeroConf : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    std::unique_ptr<AvahiDaemon> daemon;

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("PAVO_TEST_NETNS"), "run through tests/support/with-avahi.sh");
        daemon = std::make_unique<AvahiDaemon>(environment.home());
        QVERIFY(daemon->start());
    }
    void cleanupTestCase() { QVERIFY(daemon->stop()); }

    void rejectsInvalidServiceOnce();
    void secondPublicationIsRefusedAndWithdrawalSticks();
};

void TestZeroConf::rejectsInvalidServiceOnce()
{
    QZeroConf zeroConf;
    QSignalSpy failed(&zeroConf, &QZeroConf::error);
    zeroConf.publish(QStringLiteral("Pavo Server@desk"), QStringLiteral("not a type"), local, 1);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0).at(0).value<QZeroConf::error_t>(), QZeroConf::RegistrationFailed);
    QVERIFY(!zeroConf.isPublished());
}

// A withdrawn publication must stay withdrawn when the daemon comes back, while a standing one
// is made anew.
void TestZeroConf::secondPublicationIsRefusedAndWithdrawalSticks()
{
    QZeroConf kept;
    QZeroConf withdrawn;
    QSignalSpy keptPublished(&kept, &QZeroConf::servicePublished);
    QSignalSpy withdrawnPublished(&withdrawn, &QZeroConf::servicePublished);
    QSignalSpy failed(&kept, &QZeroConf::error);
    kept.publish(QStringLiteral("Pavo Server@desk"), serviceType, local, 50123);
    withdrawn.publish(QStringLiteral("Pavo Server@gone"), serviceType, local, 50124);
    QTRY_VERIFY_WITH_TIMEOUT(keptPublished.count() == 1 && withdrawnPublished.count() == 1, 10000);

    kept.publish(QStringLiteral("Pavo Server@other"), serviceType, local, 50125);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0).at(0).value<QZeroConf::error_t>(), QZeroConf::RegistrationFailed);
    withdrawn.unpublish();
    QVERIFY(!withdrawn.isPublished());
    QTRY_COMPARE(published(), QStringLiteral("Pavo Server@desk:50123"));

    QVERIFY(daemon->stop());
    QTRY_VERIFY(!kept.isPublished()); // the daemon took the group with it
    QVERIFY(daemon->start());
    QVERIFY(keptPublished.wait(15000));
    QCOMPARE(published(), QStringLiteral("Pavo Server@desk:50123"));
    QCOMPARE(withdrawnPublished.count(), 1);
    QCOMPARE(failed.count(), 1);
}

QTEST_GUILESS_MAIN(TestZeroConf)
#include "testzeroconf.moc"

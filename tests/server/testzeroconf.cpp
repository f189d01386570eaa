#include "server/qzeroconf.h"
#include "tests/support/avahidaemon.h"
#include "tests/support/testenvironment.h"

#include <QProcess>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {
const QString serviceType = QStringLiteral("_pavo._tcp");
const QString testAddress = QStringLiteral("10.77.0.1");
} // namespace

// Runs against an avahi-daemon of its own, started and stopped here; with-avahi.sh provides the
// private network namespace and system bus it needs.
class TestZeroConf : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void publishesAndWithdraws();
    void reportsNameCollisionOnce();
    void rejectsInvalidServiceOnce();
    void publishesOnceDaemonAppears();
    void republishesAfterDaemonRestart();

private:
    void startDaemon() { QVERIFY(daemon->start()); }
    void stopDaemon() { QVERIFY(daemon->stop()); }
    static QMap<QString, AvahiDaemon::Service> browse() { return AvahiDaemon::browse(); }
    static void addRecords(QZeroConf& zeroConf);

    TestEnvironment environment;
    std::unique_ptr<AvahiDaemon> daemon;
};

void TestZeroConf::initTestCase()
{
    QVERIFY2(qEnvironmentVariableIsSet("PAVO_TEST_NETNS"), "run through tests/support/with-avahi.sh");
    daemon = std::make_unique<AvahiDaemon>(environment.home());
    startDaemon();
}

void TestZeroConf::cleanupTestCase()
{
    stopDaemon();
}

void TestZeroConf::addRecords(QZeroConf& zeroConf)
{
    zeroConf.addTxtRecord(QStringLiteral("os"), QStringLiteral("linux"));
    zeroConf.addTxtRecord(QStringLiteral("ip"), testAddress);
}

void TestZeroConf::publishesAndWithdraws()
{
    QZeroConf zeroConf;
    addRecords(zeroConf);
    QSignalSpy published(&zeroConf, &QZeroConf::servicePublished);
    QSignalSpy failed(&zeroConf, &QZeroConf::error);
    const QString name = QStringLiteral("Pavo Server@desk");
    zeroConf.publish(name, serviceType, QStringLiteral("local"), 50123);
    QVERIFY(zeroConf.isPublished());
    QVERIFY(published.wait(10000));

    const AvahiDaemon::Service service = browse().value(name);
    QCOMPARE(service.port, quint16(50123));
    QCOMPARE(service.txt, QStringList({QStringLiteral("ip=") + testAddress, QStringLiteral("os=linux")}));

    // A second publication while the first stands is refused and changes nothing.
    zeroConf.publish(QStringLiteral("Pavo Server@other"), serviceType, QStringLiteral("local"), 50124);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0).at(0).value<QZeroConf::error_t>(), QZeroConf::RegistrationFailed);
    const QMap<QString, AvahiDaemon::Service> services = browse();
    QCOMPARE(services.keys(), QStringList{name});
    QCOMPARE(services.value(name).port, quint16(50123));

    zeroConf.unpublish();
    QVERIFY(!zeroConf.isPublished());
    QTRY_VERIFY(browse().isEmpty());
    QCOMPARE(published.count(), 1);
    QCOMPARE(failed.count(), 1);
}

// Renaming is the server's job; here only the signal and that the next name gets through.
void TestZeroConf::reportsNameCollisionOnce()
{
    const QString taken = QStringLiteral("Pavo Server@twin");
    QProcess other;
    other.setProcessChannelMode(QProcess::MergedChannels);
    other.start(QStringLiteral("avahi-publish"), {QStringLiteral("-s"), taken, serviceType, QStringLiteral("50001")});
    QByteArray otherLog;
    QTRY_VERIFY_WITH_TIMEOUT((otherLog += other.readAll()).contains("Established"), 10000);

    QZeroConf zeroConf;
    addRecords(zeroConf);
    QSignalSpy published(&zeroConf, &QZeroConf::servicePublished);
    QSignalSpy failed(&zeroConf, &QZeroConf::error);
    zeroConf.publish(taken, serviceType, QStringLiteral("local"), 50123);
    QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 10000);
    QCOMPARE(failed.at(0).at(0).value<QZeroConf::error_t>(), QZeroConf::NameCollision);
    QVERIFY(!zeroConf.isPublished());

    zeroConf.publish(taken + QStringLiteral(" 1"), serviceType, QStringLiteral("local"), 50123);
    QVERIFY(published.wait(10000));
    QCOMPARE(failed.count(), 1);
    const QMap<QString, AvahiDaemon::Service> services = browse();
    QCOMPARE(services.value(taken).port, quint16(50001));
    QCOMPARE(services.value(taken + QStringLiteral(" 1")).port, quint16(50123));

    ::kill(pid_t(other.processId()), SIGTERM);
    QVERIFY(other.waitForFinished());
}

void TestZeroConf::rejectsInvalidServiceOnce()
{
    QZeroConf zeroConf;
    QSignalSpy failed(&zeroConf, &QZeroConf::error);
    zeroConf.publish(QStringLiteral("Pavo Server@desk"), QStringLiteral("not a type"), QStringLiteral("local"), 1);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0).at(0).value<QZeroConf::error_t>(), QZeroConf::RegistrationFailed);
    QVERIFY(!zeroConf.isPublished());
}

void TestZeroConf::publishesOnceDaemonAppears()
{
    stopDaemon();
    QZeroConf zeroConf;
    addRecords(zeroConf);
    QSignalSpy published(&zeroConf, &QZeroConf::servicePublished);
    QSignalSpy failed(&zeroConf, &QZeroConf::error);
    const QString name = QStringLiteral("Pavo Server@late");
    zeroConf.publish(name, serviceType, QStringLiteral("local"), 50123);
    zeroConf.publish(name, serviceType, QStringLiteral("local"), 50123);
    QCOMPARE(failed.count(), 2);
    QCOMPARE(failed.at(1).at(0).value<QZeroConf::error_t>(), QZeroConf::RegistrationFailed);
    QVERIFY(!zeroConf.isPublished());

    startDaemon();
    QVERIFY(published.wait(10000));
    QCOMPARE(browse().value(name).port, quint16(50123));
    QCOMPARE(failed.count(), 2);
}

// A withdrawn publication must stay withdrawn when the daemon comes back.
void TestZeroConf::republishesAfterDaemonRestart()
{
    QZeroConf zeroConf;
    addRecords(zeroConf);
    QSignalSpy published(&zeroConf, &QZeroConf::servicePublished);
    const QString name = QStringLiteral("Pavo Server@desk");
    zeroConf.publish(name, serviceType, QStringLiteral("local"), 50123);
    QZeroConf withdrawn;
    QSignalSpy withdrawnPublished(&withdrawn, &QZeroConf::servicePublished);
    withdrawn.publish(QStringLiteral("Pavo Server@gone"), serviceType, QStringLiteral("local"), 50124);
    QVERIFY(withdrawnPublished.wait(10000));
    withdrawn.unpublish();
    QTRY_COMPARE_WITH_TIMEOUT(published.count(), 1, 10000);

    stopDaemon();
    QTRY_VERIFY(!zeroConf.isPublished()); // the daemon took the group with it
    startDaemon();
    QVERIFY(published.wait(10000));
    QCOMPARE(browse().keys(), QStringList{name});
    QVERIFY(!withdrawn.isPublished());
    QCOMPARE(withdrawnPublished.count(), 1);
}

QTEST_GUILESS_MAIN(TestZeroConf)
#include "testzeroconf.moc"

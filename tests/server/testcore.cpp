#include "tests/support/testcore.h"
#include "server/core.h"
#include "server/protocol.h"
#include "tests/support/testclient.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testplatform.h"

#include <QDBusConnection>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

// Stands in for the desktop's screen saver on the test's private session bus.
class ScreenSaver : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    QStringList calls;

public slots:
    quint32 Inhibit(const QString& application, const QString& reason)
    {
        calls.append(QStringLiteral("Inhibit(%1,%2)").arg(application, reason));
        return 42;
    }
    void UnInhibit(quint32 cookie) { calls.append(QStringLiteral("UnInhibit(%1)").arg(cookie)); }
};

class TestCore : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    ScreenSaver screenSaver;
    TestPlatform* platform = nullptr;
    Server* server = nullptr;

private slots:
    void initTestCase()
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.registerService("org.freedesktop.ScreenSaver"));
        QVERIFY(bus.registerObject("/org/freedesktop/ScreenSaver", &screenSaver, QDBusConnection::ExportAllSlots));
        platform = startTestCore();
        QVERIFY(platform);
        server = Core::instance()->server();
    }
    void init()
    {
        platform->calls.clear();
        screenSaver.calls.clear();
    }

    void firstRunEnablesAutostart()
    {
        QCOMPARE(platform->calls, QStringList());
        QVERIFY(Core::instance()->getAutostart());
        QVERIFY(QSettings().value("autoStart").toBool());
        Core::instance()->setAutostart(false);
        QCOMPARE(platform->calls, QStringList{"setAutostart(0)"});
    }

    void powerAndMediaCommandsGoToThePlatform()
    {
        TestClient device;
        QVERIFY(device.pair(*server));
        const QStringList codes = {Method::Logout,        Method::Sleep,          Method::Restart,
                                   Method::Shutdown,      Method::MediaPlayPause, Method::MediaPreviousTrack,
                                   Method::MediaNextTrack};
        QList<QJsonObject> requests;
        for (const QString& code : codes + QStringList{"zz"}) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Unhandled request"));
            requests.append(request(code));
        }
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Unhandled message.*zz"));
        const QJsonObject volume = request(Method::Volume, {{Key::Value, platform->volumePercent}});
        QCOMPARE(device.replyAfter(requests, request(Method::Volume)), volume); // nothing answered the commands
        QCOMPARE(platform->calls, (QStringList{"setActive(1)", "logout", "sleep", "restart", "shutdown",
                                               "mediaPlayPause", "mediaPreviousTrack", "mediaNextTrack"}));
        device.socket.close();
        QTRY_VERIFY(server->clients().isEmpty());
    }

    void sleepIsInhibitedOnceWhileClientsAreConnected()
    {
        TestClient first("first"), second("second");
        QVERIFY(first.pair(*server) && second.pair(*server));
        second.socket.close();
        QTRY_COMPARE(server->clients().size(), 1);
        QVERIFY(second.reconnect(server->port())); // 1 -> 2 -> 1 -> 2: still one inhibition
        second.socket.close();
        first.socket.close();
        QTRY_VERIFY(server->clients().isEmpty());
        QCOMPARE(screenSaver.calls, (QStringList{"Inhibit(Pavo Server,Pavo client connected)", "UnInhibit(42)"}));
        // The platform hears every change below two clients; the screen saver only the first and last.
        QCOMPARE(platform->calls, (QStringList{"setActive(1)", "setActive(1)", "setActive(1)", "setActive(0)"}));

        // Told not to prevent sleep, the screen saver hears nothing; the platform still does.
        screenSaver.calls.clear();
        platform->calls.clear();
        Core::instance()->setPreventSleep(false);
        QVERIFY(first.reconnect(server->port()));
        first.socket.close();
        QTRY_VERIFY(server->clients().isEmpty());
        Core::instance()->setPreventSleep(true);
        QCOMPARE(screenSaver.calls, QStringList());
        QCOMPARE(platform->calls, (QStringList{"setActive(1)", "setActive(0)"}));
    }

    void applicationsSortByRecentUseOnlyWhileConnected()
    {
        Core* core = Core::instance();
        QSignalSpy sortedChanged(core, &Core::sortedAppsChanged);
        TestApp* old = platform->addApp("old.desktop", "Old");
        TestApp* recent = platform->addApp("recent.desktop", "Recent", true);
        emit platform->installedAppsChanged();
        QCOMPARE(sortedChanged.size(), 0); // nobody connected: nothing kept, nothing told

        TestClient device("sorter");
        QVERIFY(device.pair(*server));
        QCOMPARE(core->sortedApps(), (QVector<App*>{recent, old})); // refilled on demand
        sortedChanged.clear();
        emit platform->runningAppsChanged();
        QCOMPARE(sortedChanged.size(), 1);
        QCOMPARE(core->sortedApps(), (QVector<App*>{recent, old}));
    }
};

QTEST_MAIN(TestCore)
#include "testcore.moc"

#include "server/core.h"
#include "server/protocol.h"
#include "tests/support/testclient.h"
#include "tests/support/testcore.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testplatform.h"

#include <QJsonArray>
#include <QtTest>

namespace {
QJsonObject state(const QString& method, const QJsonValue& value)
{
    return {{Key::Method, method}, {Key::Value, value}};
}
} // namespace

class TestSystemHandlers : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    TestPlatform* platform = nullptr;
    TestClient client;

private slots:
    void initTestCase()
    {
        platform = startTestCore();
        QVERIFY(platform);
        Server* server = Core::instance()->server(); // the core has made the handlers and wired their pushes
        QVERIFY(client.pair(*server) && client.leave());
        QVERIFY(client.reconnect(server->port())); // from here on every frame is encrypted
    }
    void init() { platform->calls.clear(); }

    // A change is pushed in the shape of the getter's answer; neither sets anything.
    void gettersAndPushesTellTheCurrentValue()
    {
        platform->volumePercent = 42;
        platform->muted = true;
        platform->brightnessPercent = 65;
        platform->locked = true;
        platform->setUnsupported({QStringLiteral("brightness"), QStringLiteral("menus")});
        const QJsonObject unsupported = state(Method::Unsupported, QJsonArray{"brightness", "menus"});
        QCOMPARE(client.nextJson(), unsupported);
        const QList<QPair<void (Platform::*)(), QJsonObject>> states{
            {&Platform::volumeChanged, state(Method::Volume, 42)},
            {&Platform::volumeMuteChanged, state(Method::VolumeMute, true)},
            {&Platform::brightnessChanged, state(Method::Brightness, 65)},
            {&Platform::screenLockChanged, state(Method::ScreenLock, true)},
            {&Platform::unsupportedChanged, unsupported},
        };
        for (const auto& change : states) {
            emit(platform->*change.first)();
            QCOMPARE(client.nextJson(), change.second);
            client.send(request(change.second.value(Key::Method).toString()));
            QCOMPARE(client.nextJson(), change.second);
        }
        // The feature list has nothing to set: a value is just an extra field.
        client.send(state(Method::Unsupported, QJsonArray{"x"}));
        QCOMPARE(client.nextJson(), unsupported);
        platform->setUnsupported({});
        QCOMPARE(client.nextJson(), state(Method::Unsupported, QJsonArray()));
        QCOMPARE(platform->calls, QStringList());
    }

    // Requests are served in order: the volume's answer coming first shows that no setter answered.
    void settersApplyLenientlyAndAnswerNothing()
    {
        const QList<QJsonObject> setters{
            state(Method::Volume, 30),
            state(Method::Volume, QJsonValue::Null), // present, so a set, of 0
            state(Method::Volume, 12.5),
            state(Method::VolumeMute, true),
            state(Method::VolumeMute, QStringLiteral("true")), // a string is no boolean
            state(Method::Brightness, 80),
            state(Method::ScreenLock, false), // no remote unlock
            state(Method::ScreenLock, true),
        };
        QCOMPARE(client.replyAfter(setters, request(Method::Volume)), state(Method::Volume, platform->volumePercent));
        QCOMPARE(platform->calls,
                 (QStringList{"setVolumeLevel(30)", "setVolumeLevel(0)", "setVolumeLevel(0)", "setVolumeMute(1)",
                              "setVolumeMute(0)", "setBrightness(80)", "lockScreen"}));
    }
};

QTEST_MAIN(TestSystemHandlers)
#include "testsystemhandlers.moc"

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

    // Requests are served in order: once the volume comes back, every earlier request is done
    // and anything it answered would have arrived first.
    void sendSilently(const QJsonObject& setter)
    {
        QCOMPARE(client.replyAfter({setter}, request(Method::Volume)), state(Method::Volume, platform->volumePercent));
    }

private slots:
    void initTestCase();
    void init() { platform->calls.clear(); }
    void gettersAnswerWithTheCurrentValue();
    void settersApplyLenientlyAndAnswerNothing();
    void changesArePushedInTheAnswersShape();
};

void TestSystemHandlers::initTestCase()
{
    platform = startTestCore();
    QVERIFY(platform);
    Server* server = Core::instance()->server(); // the core has made the handlers and wired their pushes
    QVERIFY(client.pair(*server) && client.leave());
    QVERIFY(client.reconnect(server->port())); // from here on every frame is encrypted
}

void TestSystemHandlers::gettersAnswerWithTheCurrentValue()
{
    platform->volumePercent = 42;
    platform->muted = true;
    platform->brightnessPercent = 65;
    platform->locked = true;
    platform->setUnsupported({QStringLiteral("brightness"), QStringLiteral("menus")});
    QCOMPARE(client.nextJson(), state(Method::Unsupported, QJsonArray{"brightness", "menus"})); // the push

    const QList<QJsonObject> expected = {state(Method::Volume, 42), state(Method::VolumeMute, true),
                                         state(Method::Brightness, 65), state(Method::ScreenLock, true),
                                         state(Method::Unsupported, QJsonArray{"brightness", "menus"})};
    for (const QJsonObject& answer : expected) {
        client.send(request(answer.value(Key::Method).toString()));
        QCOMPARE(client.nextJson(), answer);
    }
    // The feature list has nothing to set: a value is just an extra field.
    client.send(state(Method::Unsupported, QJsonArray{"x"}));
    QCOMPARE(client.nextJson(), expected.last());
    QCOMPARE(platform->calls, QStringList());
}

void TestSystemHandlers::settersApplyLenientlyAndAnswerNothing()
{
    sendSilently(state(Method::Volume, 30));
    sendSilently(state(Method::Volume, QJsonValue::Null)); // present, so a set, of 0
    sendSilently(state(Method::Volume, 12.5));
    sendSilently(state(Method::VolumeMute, true));
    sendSilently(state(Method::VolumeMute, QStringLiteral("true"))); // a string is no boolean
    sendSilently(state(Method::Brightness, 80));
    sendSilently(state(Method::ScreenLock, false)); // no remote unlock
    sendSilently(state(Method::ScreenLock, true));
    QCOMPARE(platform->calls, (QStringList{"setVolumeLevel(30)", "setVolumeLevel(0)", "setVolumeLevel(0)",
                                           "setVolumeMute(1)", "setVolumeMute(0)", "setBrightness(80)", "lockScreen"}));
}

void TestSystemHandlers::changesArePushedInTheAnswersShape()
{
    platform->volumePercent = 55;
    platform->brightnessPercent = 20;
    platform->muted = platform->locked = false;
    const QList<QPair<void (Platform::*)(), QJsonObject>> changes{
        {&Platform::volumeChanged, state(Method::Volume, 55)},
        {&Platform::volumeMuteChanged, state(Method::VolumeMute, false)},
        {&Platform::brightnessChanged, state(Method::Brightness, 20)},
        {&Platform::screenLockChanged, state(Method::ScreenLock, false)},
    };
    for (const auto& change : changes) {
        emit(platform->*change.first)();
        QCOMPARE(client.nextJson(), change.second);
    }
    platform->setUnsupported({});
    QCOMPARE(client.nextJson(), state(Method::Unsupported, QJsonArray()));
}

QTEST_MAIN(TestSystemHandlers)
#include "testsystemhandlers.moc"

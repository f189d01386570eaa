#include "platform/app.h"
#include "server/core.h"
#include "server/protocol.h"
#include "tests/support/testclient.h"
#include "tests/support/testcore.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testplatform.h"

#include <QPointer>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

class TestAppState : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    TestPlatform* platform = nullptr;

    qint64 storedLastUsed(const QString& id) { return QSettings().value(QStringLiteral("t/") + id, -1).toLongLong(); }

private slots:
    void initTestCase()
    {
        platform = startTestCore();
        QVERIFY(platform);
    }

    void currentApplicationIsToldEveryTime();
    void clearingTellsTheCurrentAppBeforeDeletingIt();
    void lastUsedTimesReachTheDiskInBatches();
    void focusIsPushedShortenedOnlyWhileSomeoneListens();
};

void TestAppState::currentApplicationIsToldEveryTime()
{
    TestApp* editor = platform->addApp(QStringLiteral("editor.desktop"), QStringLiteral("Editor"));
    QSignalSpy changed(platform, &Platform::currentAppChanged);
    platform->setCurrentApp(editor);
    platform->setCurrentApp(editor);
    QCOMPARE(changed.size(), 2);
    QVERIFY(editor->isCurrent());

    platform->setCurrentApp(nullptr);
    QCOMPARE(changed.size(), 3);
    QCOMPARE(changed.last().at(0).value<App*>(), nullptr);
    QVERIFY(!editor->isCurrent());
}

void TestAppState::clearingTellsTheCurrentAppBeforeDeletingIt()
{
    QPointer<App> current = platform->addApp(QStringLiteral("current.desktop"), QStringLiteral("Current"), true);
    platform->setCurrentApp(current);
    QSignalSpy changed(platform, &Platform::currentAppChanged);
    QSignalSpy installed(platform, &Platform::installedAppsChanged);
    platform->clearApps();
    QCOMPARE(changed.size(), 1);
    QCOMPARE(installed.size(), 1);
    QVERIFY(!current);
    QVERIFY(platform->installedApps().isEmpty() && platform->runningApps().isEmpty());
    QCOMPARE(platform->app(QStringLiteral("current.desktop")), nullptr);
}

void TestAppState::lastUsedTimesReachTheDiskInBatches()
{
    platform->clearApps();
    TestApp* often = platform->addApp(QStringLiteral("often.desktop"), QStringLiteral("Often"));
    TestApp* once = platform->addApp(QStringLiteral("once.desktop"), QStringLiteral("Once"));
    QCOMPARE(often->lastUsed(), 0); // never seen: sorts last

    once->setRunning(true);
    for (int i = 0; i < 9; ++i)
        often->setRunning(i % 2 == 0);
    QCOMPARE(storedLastUsed(once->id()), -1);
    often->setRunning(true); // the eleventh pending entry writes them all
    QVERIFY(storedLastUsed(once->id()) > 0);
    QCOMPARE(storedLastUsed(often->id()), often->lastUsed());

    // A deleted application leaves the pending list instead of dangling in it.
    once->setRunning(false);
    platform->clearApps();
    TestApp* again = platform->addApp(QStringLiteral("often.desktop"), QStringLiteral("Often"));
    QCOMPARE(again->lastUsed(), storedLastUsed(QStringLiteral("often.desktop")));
    for (int i = 0; i < 11; ++i)
        again->setRunning(true);
    QVERIFY(storedLastUsed(QStringLiteral("once.desktop")) > 0);
}

void TestAppState::focusIsPushedShortenedOnlyWhileSomeoneListens()
{
    TestApp* notes = platform->addApp(QStringLiteral("notes.desktop"), QStringLiteral("Notes"));
    notes->focusRole(App::Text, QStringLiteral("Title"), QStringLiteral("unheard"), {});
    QCOMPARE(notes->focusedValue(), QString()); // nobody connected: not even stored

    TestClient device;
    QVERIFY(device.pair(*Core::instance()->server()));
    const QVariantMap properties{{QStringLiteral("editable"), true}};
    emit notes->focusRoleAsync(App::TextArea, QStringLiteral("Body"), QStringLiteral("first line\nsecond"),
                               properties);
    QCOMPARE(notes->focusedValue(), QString()); // queued: handled on a later turn
    const QJsonObject pushed = device.nextJson();
    QCOMPARE(pushed, (QJsonObject{{Key::Method, Method::FocusedElement},
                                  {Key::Id, notes->id()},
                                  {Key::FocusRole, QStringLiteral("TextArea")},
                                  {Key::Name, QStringLiteral("Body")},
                                  {Key::Value, QStringLiteral("first line...")},
                                  {Key::Properties, QJsonObject{{QStringLiteral("editable"), true}}}}));
    QCOMPARE(notes->focusedValue(), QStringLiteral("first line\nsecond"));

    notes->focusRole(App::ElementRole(-1), QString(), QStringLiteral("a\nb"), {});
    const QJsonObject shortOne = device.nextJson();
    QCOMPARE(shortOne.value(Key::Value).toString(), QStringLiteral("a\nb"));
    QCOMPARE(shortOne.value(Key::FocusRole).toString(), QString());

    platform->setCurrentApp(notes);
    platform->setCurrentApp(nullptr);
    QCOMPARE(notes->focusedValue(), QString()); // losing the focus forgets the value
}

QTEST_MAIN(TestAppState)
#include "testapp.moc"

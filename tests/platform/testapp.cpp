#include "platform/app.h"
#include "server/core.h"
#include "server/protocol.h"
#include "tests/support/testclient.h"
#include "tests/support/testcore.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testplatform.h"

#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

class TestAppState : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    TestPlatform* platform = nullptr;

    qint64 storedLastUsed(const QString& id) { return QSettings().value("t/" + id, -1).toLongLong(); }

private slots:
    void initTestCase() { QVERIFY(platform = startTestCore()); }

    void lastUsedTimesReachTheDiskInBatches()
    {
        TestApp* often = platform->addApp("often.desktop", "Often");
        TestApp* once = platform->addApp("once.desktop", "Once");
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
        TestApp* again = platform->addApp("often.desktop", "Often");
        QCOMPARE(again->lastUsed(), storedLastUsed("often.desktop"));
        for (int i = 0; i < 11; ++i)
            again->setRunning(true);
        QVERIFY(storedLastUsed("once.desktop") > 0);
    }

    void focusIsPushedOnlyWhileSomeoneListens()
    {
        TestApp* notes = platform->addApp("notes.desktop", "Notes");
        notes->focusRole(App::Text, "Title", "unheard", {});
        QCOMPARE(notes->focusedValue(), QString()); // nobody connected: not even stored

        TestClient device;
        QVERIFY(device.pair(*Core::instance()->server()));
        emit notes->focusRoleAsync(App::TextArea, "Body", "a\nb", {{"editable", true}});
        QCOMPARE(notes->focusedValue(), QString()); // queued: handled on a later turn
        QCOMPARE(device.nextJson(), (QJsonObject{{Key::Method, Method::FocusedElement},
                                                 {Key::Id, notes->id()},
                                                 {Key::FocusRole, "TextArea"},
                                                 {Key::Name, "Body"},
                                                 {Key::Value, "a\nb"}, // too short to shorten
                                                 {Key::Properties, QJsonObject{{"editable", true}}}}));
        QCOMPARE(notes->focusedValue(), QStringLiteral("a\nb"));

        platform->setCurrentApp(notes);
        platform->setCurrentApp(nullptr);
        QCOMPARE(notes->focusedValue(), QString()); // losing the focus forgets the value
    }
};

QTEST_MAIN(TestAppState)
#include "testapp.moc"

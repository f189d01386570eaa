#include "server/core.h"
#include "server/protocol.h"
#include "tests/support/testclient.h"
#include "tests/support/testcore.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testplatform.h"
#include "tests/support/warningcounter.h"

#include <QJsonArray>
#include <QtTest>

class TestInputHandlers : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    TestPlatform* platform = nullptr;
    TestClient client;
    TestApp *editor = nullptr, *other = nullptr;

    QJsonObject focusedValueAfter(const QJsonObject& silent)
    {
        return client.replyAfter({silent}, request(Method::FocusValue));
    }
    void keys(const QJsonValue& keys)
    {
        editor->calls.clear();
        focusedValueAfter(request(Method::KeySequence, {{Key::Id, editor->id()}, {Key::Keys, keys}}));
    }

private slots:
    void initTestCase();
    void keySequences();
    void focusedValueGetAndSet();
    void focusedElementPressed();
};

void TestInputHandlers::initTestCase()
{
    platform = startTestCore();
    QVERIFY(platform);
    QVERIFY(client.pair(*Core::instance()->server()));
    editor = platform->addApp(QStringLiteral("editor.desktop"), QStringLiteral("Editor"), true);
    other = platform->addApp(QStringLiteral("other.desktop"), QStringLiteral("Other"), true);
    platform->setCurrentApp(editor);
    QCOMPARE(client.nextJson().value(Key::Id).toString(), editor->id()); // the focus push
}

void TestInputHandlers::keySequences()
{
    keys(QStringLiteral("ctrl+c,ctrl+v"));
    QCOMPARE(editor->calls, QStringList{QStringLiteral("performShortcut(ctrl+c,ctrl+v)")});
    keys(QJsonArray{QStringLiteral("ctrl+a"), 5, QStringLiteral("Delete")});
    QCOMPARE(editor->calls, (QStringList{QStringLiteral("performShortcut(ctrl+a)"), QStringLiteral("performShortcut()"),
                                         QStringLiteral("performShortcut(Delete)")}));

    {
        const WarningCounter noKeys(QStringLiteral("No keys"));
        keys(QJsonArray());
        QCOMPARE(noKeys.count(), 0);
        QCOMPARE(editor->calls, QStringList());
    }

    QTest::ignoreMessage(QtWarningMsg, "No keys QJsonValue(double, 5)");
    keys(5);
    QCOMPARE(editor->calls, QStringList());

    // Keys go to a named application only: never to the focused one by default.
    focusedValueAfter(request(Method::KeySequence, {{Key::Keys, QStringLiteral("ctrl+q")}}));
    QCOMPARE(editor->calls, QStringList());
}

void TestInputHandlers::focusedValueGetAndSet()
{
    editor->focusRole(App::Text, QStringLiteral("Message"), QStringLiteral("first line\nsecond"), {});
    QCOMPARE(client.nextJson().value(Key::Value).toString(), QStringLiteral("first line...")); // the push
    client.send(request(Method::FocusValue));
    QCOMPARE(client.nextJson(), request(Method::FocusedElement,
                                        {{Key::Id, QString()}, {Key::Value, QStringLiteral("first line\nsecond")}}));
    client.send(request(Method::FocusValue, {{Key::Id, other->id()}}));
    QCOMPARE(client.nextJson(), request(Method::FocusedElement, {{Key::Id, other->id()}, {Key::Value, QString()}}));

    editor->calls.clear();
    other->calls.clear();
    client.replyAfter({request(Method::FocusValue, {{Key::Id, "nobody.desktop"}, {Key::Value, "x"}}),
                       request(Method::FocusValue, {{Key::Value, "new text"}}),
                       request(Method::FocusValue, {{Key::Id, other->id()}, {Key::Value, 7}}),
                       request(Method::FocusValue, {{Key::Value, QString()}})},
                      request(Method::FocusValue));
    QCOMPARE(editor->calls, (QStringList{QStringLiteral("setFocusedElementValue(new text)"),
                                         QStringLiteral("setFocusedElementValue()")}));
    QCOMPARE(other->calls, QStringList{QStringLiteral("setFocusedElementValue()")});
}

void TestInputHandlers::focusedElementPressed()
{
    editor->calls.clear();
    other->calls.clear();
    client.replyAfter({request(Method::FocusPerform), request(Method::FocusPerform, {{Key::Id, other->id()}}),
                       request(Method::FocusPerform, {{Key::Id, "nobody.desktop"}})},
                      request(Method::FocusValue));
    QCOMPARE(editor->calls, QStringList{QStringLiteral("performFocusedElement")});
    QCOMPARE(other->calls, QStringList{QStringLiteral("performFocusedElement")});

    platform->setCurrentApp(nullptr);
    QCOMPARE(client.nextJson(), request(Method::CurrentApp));
    const QJsonObject named = request(Method::FocusValue, {{Key::Id, editor->id()}});
    // No application: silent too.
    QCOMPARE(client.replyAfter({request(Method::FocusPerform), request(Method::FocusValue)}, named).value(Key::Id),
             editor->id());
    QCOMPARE(editor->calls.size(), 1);
}

QTEST_MAIN(TestInputHandlers)
#include "testinputhandlers.moc"

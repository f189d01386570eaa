#include "handlers/applisthandlers.h"
#include "server/core.h"
#include "server/protocol.h"
#include "tests/support/testclient.h"
#include "tests/support/testcore.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testplatform.h"

#include <QIconEngine>
#include <QJsonArray>
#include <QSettings>
#include <QtTest>

namespace {
// Answers each pixmap request with the next scripted size and remembers what was asked.
class ScriptedIconEngine : public QIconEngine
{
public:
    ScriptedIconEngine(QList<QSize> answers, QList<QSize>* asked) : answers(std::move(answers)), asked(asked) {}
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        asked->append(size);
        QPixmap pixmap(answers.takeFirst());
        pixmap.fill(Qt::red);
        return pixmap;
    }
    void paint(QPainter*, const QRect&, QIcon::Mode, QIcon::State) override {}
    QIconEngine* clone() const override { return new ScriptedIconEngine(answers, asked); }

private:
    QList<QSize> answers;
    QList<QSize>* asked;
};
} // namespace

class TestAppHandlers : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    TestPlatform* platform = nullptr;
    TestClient client;
    TestApp *live = nullptr, *recent = nullptr, *middle = nullptr, *old = nullptr;
    const QJsonObject sync = request(Method::CurrentApp);

    // Never-running applications sort by the time stamps an earlier session stored.
    TestApp* addStoppedApp(const QString& id, qint64 lastUsed)
    {
        QSettings().setValue(QStringLiteral("t/") + id, lastUsed);
        return platform->addApp(id, id.toUpper());
    }
    // Every change of the focus reaches the client unasked, in the shape of the answer.
    void setCurrent(App* app)
    {
        platform->setCurrentApp(app);
        QCOMPARE(client.nextJson(), app ? request(Method::CurrentApp, {{Key::Id, app->id()}}) : sync);
    }

private slots:
    void initTestCase()
    {
        platform = startTestCore();
        QVERIFY(platform);
        QVERIFY(client.pair(*Core::instance()->server()));
        old = addStoppedApp(QStringLiteral("old.desktop"), 100);
        recent = addStoppedApp(QStringLiteral("recent.desktop"), 300);
        middle = addStoppedApp(QStringLiteral("middle.desktop"), 200);
        QPixmap image(256, 256);
        image.fill(Qt::blue);
        live = platform->addApp(QStringLiteral("live.desktop"), QStringLiteral("Live"), true, QIcon(image));
        emit platform->installedAppsChanged();
        QCOMPARE(client.nextJson().value(Key::Apps).toArray().size(), 4); // pushed on the change
    }

    void appLists()
    {
        client.send(request(Method::InstalledApps));
        const QJsonArray expected{
            QJsonObject{{Key::Id, live->id()}, {Key::Name, QStringLiteral("Live")}, {Key::State, Key::Running}},
            QJsonObject{{Key::Id, recent->id()}, {Key::Name, QStringLiteral("RECENT.DESKTOP")}},
            QJsonObject{{Key::Id, middle->id()}, {Key::Name, QStringLiteral("MIDDLE.DESKTOP")}},
            QJsonObject{{Key::Id, old->id()}, {Key::Name, QStringLiteral("OLD.DESKTOP")}},
        };
        QCOMPARE(client.nextJson(), request(Method::InstalledApps, {{Key::Apps, expected}}));

        setCurrent(nullptr);
        QCOMPARE(client.replyAfter({}, sync), sync);
        setCurrent(middle);
        client.send(sync);
        QCOMPARE(client.nextJson(), request(Method::CurrentApp, {{Key::Id, middle->id()}}));

        platform->fileApps = {middle, old};
        const QJsonObject file{{Key::Path, QStringLiteral("/tmp/a b.txt")}};
        client.send(request(Method::FileApps, file));
        const QJsonArray apps{QJsonObject{{Key::Id, middle->id()}}, QJsonObject{{Key::Id, old->id()}}};
        QCOMPARE(client.nextJson(), request(Method::FileApps, {{Key::Path, file.value(Key::Path)}, {Key::Apps, apps}}));
    }

    void iconRequests()
    {
        auto iconOf = [](const QString& id, const QJsonValue& size) {
            return request(Method::AppIcon, {{Key::Id, id}, {Key::Size, size}});
        };
        client.send(iconOf(live->id(), 32.0));
        const TestClient::Message icon = client.next();
        QCOMPARE(icon.json, iconOf(live->id(), 32));
        QCOMPARE(icon.attachments.size(), 1);
        QCOMPARE(icon.attachments.at(0).first, Server::Png);
        QCOMPARE(QImage::fromData(icon.attachments.at(0).second, "PNG").size(), QSize(32, 32));

        // Sizes come from the network: neither tiny nor huge ones, nor strings, are rendered.
        const QJsonObject smallest = iconOf(live->id(), 16);
        for (const QJsonObject& silent : {iconOf(live->id(), 15), iconOf(live->id(), 1025), iconOf(live->id(), 1 << 30),
                                          iconOf(live->id(), QStringLiteral("32")), iconOf(QString(), 32),
                                          iconOf(QStringLiteral("nobody.desktop"), 32)})
            QCOMPARE(client.replyAfter({silent}, smallest), smallest);

        // An application without an image still gets its answer.
        client.send(iconOf(old->id(), 48));
        const TestClient::Message empty = client.next();
        QCOMPARE(empty.json, iconOf(old->id(), 48));
        QCOMPARE(empty.attachments, Server::Attachments({{Server::Png, QByteArray()}}));
    }

    // Icons are asked for at 64 pixels.
    void iconAtDevicePixelRatio_data()
    {
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<QList<QSize>>("answers");
        QTest::addColumn<QList<QSize>>("requested");
        QTest::addColumn<QSize>("result");

        QTest::newRow("right width, any height")
            << 1.0 << QList<QSize>{{64, 128}} << QList<QSize>{{64, 64}} << QSize(64, 128);
        QTest::newRow("ratio 2, device pixels")
            << 2.0 << QList<QSize>{{128, 128}, {64, 64}} << QList<QSize>{{64, 64}, {32, 32}} << QSize(64, 64);
        // 64 / 1.5 = 42.7: truncated, not rounded.
        QTest::newRow("ratio 1.5 truncates, then scales")
            << 1.5 << QList<QSize>{{96, 96}, {63, 63}} << QList<QSize>{{64, 64}, {42, 42}} << QSize(64, 64);
        QTest::newRow("scaling keeps the aspect")
            << 2.0 << QList<QSize>{{128, 64}, {32, 16}} << QList<QSize>{{64, 64}, {32, 32}} << QSize(64, 32);
    }

    void iconAtDevicePixelRatio()
    {
        QFETCH(qreal, ratio);
        QFETCH(QList<QSize>, answers);
        QFETCH(QList<QSize>, requested);
        QFETCH(QSize, result);
        QList<QSize> asked;
        QCOMPARE(appIconPixmap(QIcon(new ScriptedIconEngine(answers, &asked)), 64, ratio).size(), result);
        QCOMPARE(asked, requested);
    }

    // Window actions and the focused element act on the named application, or on the current
    // one when the id is empty.
    void actionsFallBackToTheCurrentAppOnlyForEmptyId()
    {
        const QList<QPair<QJsonObject, QString>> actions{
            {request(Method::AppActivate), QStringLiteral("activate")},
            {request(Method::AppClose), QStringLiteral("close")},
            {request(Method::AppQuit), QStringLiteral("quit")},
            {request(Method::AppMinimize), QStringLiteral("toggleMinimize")},
            {request(Method::AppMaximize), QStringLiteral("toggleMaximize")},
            {request(Method::AppFullscreen), QStringLiteral("toggleFullscreen")},
            {request(Method::AppScroll, {{Key::ScrollX, 3}, {Key::ScrollY, -4}}), QStringLiteral("scroll(3,-4)")},
            {request(Method::AppScroll), QStringLiteral("scroll(0,0)")},
            {request(Method::FocusPerform), QStringLiteral("performFocusedElement")},
            {request(Method::FocusValue, {{Key::Value, "new text"}}),
             QStringLiteral("setFocusedElementValue(new text)")},
            {request(Method::FocusValue, {{Key::Value, 7}}), QStringLiteral("setFocusedElementValue()")},
        };
        live->calls.clear();
        middle->calls.clear();
        setCurrent(nullptr);
        QList<QJsonObject> unnamed;
        for (const auto& action : actions)
            unnamed.append(action.first);
        QCOMPARE(client.replyAfter(unnamed, sync), sync);

        setCurrent(live);
        QStringList calls;
        for (const auto& action : actions) {
            for (const QString& id : {QString(), middle->id(), QStringLiteral("nobody.desktop")}) {
                QJsonObject named = action.first;
                named.insert(Key::Id, id);
                client.send(named);
            }
            calls.append(action.second);
        }
        client.send(sync);
        QCOMPARE(client.nextJson().value(Key::Id).toString(), live->id());
        QCOMPARE(live->calls, calls);
        QCOMPARE(middle->calls, calls);
    }

    // The value goes back with the id as sent: empty when the client left the choice to the focus.
    void focusedValue()
    {
        setCurrent(live);
        live->focusRole(App::Text, QStringLiteral("Message"), QStringLiteral("first line\nsecond"), {});
        QCOMPARE(client.nextJson().value(Key::Value).toString(), QStringLiteral("first line...")); // the push
        client.send(request(Method::FocusValue));
        QCOMPARE(client.nextJson(),
                 request(Method::FocusedElement,
                         {{Key::Id, QString()}, {Key::Value, QStringLiteral("first line\nsecond")}}));
        client.send(request(Method::FocusValue, {{Key::Id, middle->id()}}));
        QCOMPARE(client.nextJson(),
                 request(Method::FocusedElement, {{Key::Id, middle->id()}, {Key::Value, QString()}}));
    }

    void keySequences()
    {
        auto keys = [this](const QJsonValue& keys) {
            live->calls.clear();
            client.replyAfter({request(Method::KeySequence, {{Key::Id, live->id()}, {Key::Keys, keys}})}, sync);
            return live->calls;
        };
        QCOMPARE(keys(QStringLiteral("ctrl+c,ctrl+v")), QStringList{QStringLiteral("performShortcut(ctrl+c,ctrl+v)")});
        QCOMPARE(keys(QJsonArray{QStringLiteral("ctrl+a"), 5, QStringLiteral("Delete")}),
                 (QStringList{QStringLiteral("performShortcut(ctrl+a)"), QStringLiteral("performShortcut()"),
                              QStringLiteral("performShortcut(Delete)")}));
        QTest::ignoreMessage(QtWarningMsg, "No keys QJsonValue(double, 5)");
        QCOMPARE(keys(5), QStringList());
    }

    void menuTreeAndItems()
    {
        live->menuItems = {{QStringLiteral("file"),
                            QStringLiteral("File"),
                            {{QStringLiteral("open"), QStringLiteral("Open"), {}},
                             {QStringLiteral("recent"),
                              QStringLiteral("Recent"),
                              {{QStringLiteral("r1"), QStringLiteral("a.txt"), {}}}}}},
                           {QStringLiteral("help"), QStringLiteral("Help"), {}}};
        client.send(request(Method::Menu, {{Key::Id, live->id()}}));
        const TestClient::Message menu = client.next();
        QCOMPARE(menu.json, request(Method::Menu, {{Key::Id, live->id()}}));
        QCOMPARE(menu.attachments.size(), 1);
        QCOMPARE(menu.attachments.at(0).first, Server::Json);
        QCOMPARE(menu.attachments.at(0).second,
                 QByteArray(R"([{"i":"file","m":[{"i":"open","n":"Open"},{"i":"recent","m":[{"i":"r1","n":"a.txt"}],)"
                            R"("n":"Recent"}],"n":"File"},{"i":"help","n":"Help"}])"));

        client.send(request(Method::Menu, {{Key::Id, old->id()}}));
        QCOMPARE(client.next().attachments.at(0).second, QByteArray("[]"));

        // The menu and key handlers name their application: an empty id never means the current one.
        setCurrent(live);
        const QJsonObject oldMenu = request(Method::Menu, {{Key::Id, old->id()}});
        QCOMPARE(client.replyAfter({request(Method::Menu)}, oldMenu), oldMenu);
        live->calls.clear();
        QCOMPARE(client.replyAfter({request(Method::MenuPerform, {{Key::MenuItem, "no-such-item"}}),
                                    request(Method::KeySequence, {{Key::Keys, QStringLiteral("ctrl+q")}}),
                                    request(Method::MenuPerform, {{Key::Id, live->id()}, {Key::MenuItem, "x:1"}})},
                                   oldMenu),
                 oldMenu);
        QCOMPARE(live->calls, QStringList{QStringLiteral("performMenuItem(x:1)")});
    }
};

QTEST_MAIN(TestAppHandlers)
#include "testapphandlers.moc"

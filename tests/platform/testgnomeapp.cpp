#include "platform/app.h"
#include "platform/gnomeplatform.h"
#include "server/core.h"
#include "server/protocol.h"
#include "tests/support/httptestserver.h"
#include "tests/support/standinextension.h"
#include "tests/support/standingnomeextensions.h"
#include "tests/support/testclient.h"
#include "tests/support/testenvironment.h"
#include "updater/defaultupdater.h"

#include <QImage>
#include <QJsonArray>
#include <QSignalSpy>
#include <QtTest>

namespace {
const QString Editor = QStringLiteral("editor.desktop");
const QString Terminal = QStringLiteral("terminal.desktop");
} // namespace

// The GNOME platform under the real core, driven by an admitted client, against the stand-in
// extension.
class TestGNOMEApp : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    StandInGnomeExtensions gnomeExtensions{environment.home()};
    HttpTestServer web;
    StandInExtension extension;
    QDBusConnection shell = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("shell"));
    TestClient device;
    Platform* platform = nullptr;

    // The next message with this method code, skipping pushes of other kinds.
    QJsonObject next(const QString& method);
    // The calls the stand-in receives while the action runs whose text matches the pattern, once
    // they number as many as expected.
    QStringList callsDuring(const std::function<void()>& action, const QString& pattern, int expected);

private slots:
    void initTestCase();

    void clientSeesApplicationsAndSetsTheVolume();
    void everyOperationReachesTheExtension();
    void shortcutsSplitAtCommas_data();
    void shortcutsSplitAtCommas();
    void focusedElementIsPushedWithItsRole();
};

void TestGNOMEApp::initTestCase()
{
    const QString icon = environment.home() + QStringLiteral("/app.png");
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QVERIFY(image.save(icon));
    extension.apply({{QStringLiteral("installedApps"),
                      QJsonArray{QJsonObject{{"id", Editor}, {"name", "Editor"}, {"icon", icon}},
                                 QJsonObject{{"id", Terminal}, {"name", "Terminal"}, {"icon", icon}}}},
                     {QStringLiteral("runningApps"), QJsonArray{Terminal}},
                     {QStringLiteral("currentApp"), Terminal},
                     {QStringLiteral("volumeLevel"), 30}});
    QVERIFY(extension.registerOn(shell));
    web.setResponse("/extension.xml", HttpTestServer::answer(404));
    updater::DefaultUpdater::setFirstCheckDelay(24 * 3600 * 1000);
    Core::setPlatformFactory([this](QObject* parent) {
        auto* gnome = new GNOMEPlatform(parent);
        gnome->extensionUpdater()->setFeedUrl(web.url(QStringLiteral("/extension.xml")));
        return gnome;
    });
    QSignalSpy ready(Core::instance(), &Core::ready);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Update check failed")));
    Core::instance()->start();
    QVERIFY(ready.wait());
    platform = Core::instance()->platform();

    QSignalSpy current(platform, &Platform::currentAppChanged);
    QVERIFY(device.pair(*Core::instance()->server()));
    QVERIFY(current.wait()); // the extension is on and the applications are known
    extension.calls.clear();
}

QJsonObject TestGNOMEApp::next(const QString& method)
{
    for (QJsonObject message = device.nextJson(); !message.isEmpty(); message = device.nextJson()) {
        if (message.value(Key::Method).toString() == method)
            return message;
    }
    return {};
}

QStringList TestGNOMEApp::callsDuring(const std::function<void()>& action, const QString& pattern, int expected)
{
    extension.calls.clear();
    QSignalSpy called(&extension, &StandInExtension::called);
    const QRegularExpression matching(pattern);
    action();
    while (extension.calls.filter(matching).size() < expected && called.wait()) {
    }
    return extension.calls.filter(matching);
}

void TestGNOMEApp::clientSeesApplicationsAndSetsTheVolume()
{
    device.send({{Key::Method, Method::InstalledApps}});
    QJsonArray apps = next(Method::InstalledApps).value(Key::Apps).toArray();
    QCOMPARE(apps.size(), 2);
    // The running application was used last, so it comes first.
    QCOMPARE(apps.at(0).toObject().value(Key::Id).toString(), Terminal);
    QCOMPARE(apps.at(0).toObject().value(Key::State).toString(), Key::Running);
    QCOMPARE(apps.at(1).toObject().value(Key::Name).toString(), QStringLiteral("Editor"));

    device.send({{Key::Method, Method::Volume}, {Key::Value, 70}});
    QJsonObject pushed;
    while ((pushed = next(Method::Volume)).value(Key::Value) == 30) {
    }
    QCOMPARE(pushed.value(Key::Value).toInt(), 70);
    QVERIFY(extension.calls.contains(QStringLiteral("setVolumeLevel(70)")));
}

void TestGNOMEApp::everyOperationReachesTheExtension()
{
    App* editor = platform->app(Editor);
    QVERIFY(editor);
    const QStringList commands = {"activate", "quit", "close", "toggleMinimize", "toggleMaximize", "toggleFullscreen"};
    const QStringList calls = callsDuring(
        [editor] {
            editor->activate();
            editor->quit();
            editor->close();
            editor->toggleMinimize();
            editor->toggleMaximize();
            editor->toggleFullscreen();
            editor->scroll(3, 4);
            editor->performMenuItem(QStringLiteral("file.save"));
            editor->setFocusedElementValue(QStringLiteral("hello, world"));
            editor->performFocusedElement();
        },
        QStringLiteral("^(appCommand|setFocused|performFocused)"), 8);
    QStringList expected;
    for (const QString& command : commands)
        expected.append(QStringLiteral("appCommand(%1,%2)").arg(Editor, command));
    expected << QStringLiteral("setFocusedElementValue(hello, world)")
             << QStringLiteral("performFocusedElement(%1)").arg(Editor);
    QCOMPARE(calls, expected);
    QVERIFY(editor->menu().isEmpty());
}

void TestGNOMEApp::shortcutsSplitAtCommas_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QStringList>("sent");
    QTest::newRow("one") << "ctrl+s" << QStringList{"ctrl+s"};
    QTest::newRow("sequence") << "ctrl+x,ctrl+s" << QStringList{"ctrl+x", "ctrl+s"};
    QTest::newRow("empty middle") << "a,,b" << QStringList{"a", "", "b"};
    QTest::newRow("empty") << "" << QStringList{""};
    QTest::newRow("the comma key") << "a,ctrl+," << QStringList{"a,ctrl+,"};
}

void TestGNOMEApp::shortcutsSplitAtCommas()
{
    QFETCH(QString, keys);
    QFETCH(QStringList, sent);
    App* editor = platform->app(Editor);
    QStringList expected;
    for (const QString& combination : sent)
        expected.append(QStringLiteral("performShortcut(%1)").arg(combination));
    QCOMPARE(callsDuring([&] { editor->performShortcut(keys); }, QStringLiteral("^performShortcut"), sent.size()),
             expected);
}

void TestGNOMEApp::focusedElementIsPushedWithItsRole()
{
    QSignalSpy current(platform, &Platform::currentAppChanged);
    extension.apply({{QStringLiteral("currentApp"), Terminal}});
    QVERIFY(current.wait());
    extension.apply({{QStringLiteral("focusedElement"), QJsonArray{"text", "Search", "pavo\nserver"}}});
    QJsonObject focus;
    do { // an earlier test changed the focused value too
        focus = next(Method::FocusedElement);
    } while (!focus.isEmpty() && focus.value(Key::Name) != QStringLiteral("Search"));
    QCOMPARE(focus.value(Key::Id).toString(), Terminal);
    QCOMPARE(focus.value(Key::FocusRole).toString(), QStringLiteral("Text"));
    QCOMPARE(focus.value(Key::Name).toString(), QStringLiteral("Search"));
    QCOMPARE(focus.value(Key::Value).toString(), QStringLiteral("pavo..."));
    QCOMPARE(platform->currentApp()->focusedValue(), QStringLiteral("pavo\nserver"));

    extension.apply({{QStringLiteral("focusedElement"), QJsonArray{"", "ignored", "ignored"}}});
    focus = next(Method::FocusedElement);
    QCOMPARE(focus.value(Key::FocusRole).toString(), QStringLiteral("Null"));
    QCOMPARE(focus.value(Key::Name).toString(), QString());
    QCOMPARE(focus.value(Key::Value).toString(), QString());
}

QTEST_MAIN(TestGNOMEApp)
#include "testgnomeapp.moc"

#include "handlers/applisthandlers.h"
#include "handlers/promise.h"
#include "http/webservice.h"
#include "platform/imagepreview.h"
#include "platform/website.h"
#include "server/core.h"
#include "server/protocol.h"
#include "tests/support/httptestserver.h"
#include "tests/support/testclient.h"
#include "tests/support/testcore.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testplatform.h"
#include "tests/support/warningcounter.h"
#include "updater/updater.h"

#include <QIconEngine>
#include <QImageWriter>
#include <QJsonArray>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {
// Spacing and key order the server must not touch.
const QByteArray Document = "{ \"b\" : true,\n  \"c\": [\"Save\", \"Open\"] }";

class IdleUpdater : public Updater
{
public:
    void update() override {}
};

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

QJsonObject state(const QString& method, const QJsonValue& value)
{
    return {{Key::Method, method}, {Key::Value, value}};
}

QJsonArray entries(const QStringList& directories, const QStringList& files)
{
    QJsonArray list;
    for (const QString& name : directories)
        list.append(QJsonObject{{Key::Name, name}, {Key::FileType, "d"}});
    for (const QString& name : files)
        list.append(QJsonObject{{Key::Name, name}});
    return list;
}

QSize pngSize(const TestClient::Message& message)
{
    if (message.attachments.size() != 1 || message.attachments.at(0).first != Server::Png)
        return QSize(-1, -1);
    return QImage::fromData(message.attachments.at(0).second, "PNG").size();
}

// A bitmap header that claims 60000 x 60000 pixels and holds none.
void writeBmpClaim(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromHex("424d36000000000000003600000028000000" // file header, info size
                                   "60ea000060ea000001001800") +          // width, height, planes, depth
               QByteArray(24, '\0'));
}

void writeBlack(const QString& path, int width, int height, QImage::Format format, bool progressive = false)
{
    QImage image(width, height, format);
    image.fill(Qt::black);
    QImageWriter writer(path);
    writer.setProgressiveScanWrite(progressive);
    QVERIFY(writer.write(image));
}

qint64 statusKb(const QString& field)
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    const QRegularExpression line(QLatin1Char('^') + field + ":\\s*(\\d+)", QRegularExpression::MultilineOption);
    return line.match(QString::fromLatin1(status.readAll())).captured(1).toLongLong();
}

// Resident memory the call added at its peak, in MB.
template <typename Call> qint64 peakGrowthMb(Call call)
{
    QFile clearRefs("/proc/self/clear_refs");
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5"); // restarts the peak count
    clearRefs.close();
    const qint64 before = statusKb("VmRSS");
    call();
    return (statusKb("VmHWM") - before) / 1024;
}
} // namespace

// The handlers on one core, a scripted desktop and a stand-in web service.
class TestHandlers : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    HttpTestServer webService;
    IdleUpdater updater;
    TestPlatform* platform = nullptr;
    TestClient client;
    TestApp *live = nullptr, *recent = nullptr, *middle = nullptr, *old = nullptr;
    QString tree;
    const QJsonObject sync = request(Method::CurrentApp);

    TestClient::Message ask(const QJsonObject& request)
    {
        client.send(request);
        return client.next();
    }
    // Requests are served in order: sync's answer coming first shows that none of these was answered.
    void verifySilent(const QList<QJsonObject>& silent)
    {
        QCOMPARE(client.replyAfter(silent, sync).value(Key::Method).toString(), Method::CurrentApp);
    }
    // Never-running applications sort by the time stamps an earlier session stored.
    TestApp* addStoppedApp(const QString& id, qint64 lastUsed)
    {
        QSettings().setValue("t/" + id, lastUsed);
        return platform->addApp(id, id.toUpper());
    }
    // Every change of the focus reaches the client unasked, in the shape of the answer.
    void setCurrent(App* app)
    {
        platform->setCurrentApp(app);
        QCOMPARE(client.nextJson(), app ? request(Method::CurrentApp, {{Key::Id, app->id()}}) : sync);
    }
    QString inTree(const QString& name) const { return tree + '/' + name; }
    QJsonArray listing(const QString& path)
    {
        return ask(request(Method::DirectoryListing, {{Key::Path, path}})).json.value(Key::Files).toArray();
    }
    QJsonObject commandsOf(App* app) { return request(Method::Commands, {{Key::Id, app->id()}}); }
    void expectCommands(App* app)
    {
        const TestClient::Message answer = client.next();
        QCOMPARE(answer.json, commandsOf(app));
        QCOMPARE(answer.attachments, Server::Attachments({{Server::Json, Document}}));
    }

private slots:
    void initTestCase()
    {
        tree = environment.home() + "/tree";
        for (const char* directory : {"b", "Zeta", "locked", ".cache"})
            QVERIFY(QDir(tree).mkpath(directory));
        for (const char* file : {"A.txt", "c.txt", "D.txt", "é.txt", "f.txt", ".hidden", "locked/inside.txt"}) {
            QFile created(inTree(QString::fromUtf8(file)));
            QVERIFY(created.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::link(inTree("b"), inTree("linked")));
        QVERIFY(QFile::link(inTree("c.txt"), inTree("shortcut.txt")));
        QVERIFY(QFile::link(inTree("nowhere"), inTree("dangling")));
        QCOMPARE(mkfifo(QFile::encodeName(inTree("fifo")).constData(), 0600), 0);
        QCOMPARE(chmod(QFile::encodeName(inTree("locked")).constData(), 0), 0);

        setWebServiceBaseUrl(webService.url(QString()).toEncoded());
        webService.setResponse("/app", HttpTestServer::answer(200, Document));
        webService.enqueue("/web/index.json", HttpTestServer::answer(404)); // the start-up load fails
        webService.setResponse("/web/index.json",
                               HttpTestServer::answer(200, R"({"i": [{"n": "A", "d": "a.example"}, {"n": "no domain"},
                                                                     {"d": ""}, {"d": "b.example"}]})"));
        webService.setResponse("/web/a.example.json", HttpTestServer::answer(200, R"({"c": "Reload", "i": "x"})"));
        webService.setResponse("/web/b.example.json", HttpTestServer::answer(200, "not json"));
        QSettings().setValue("preventSleep", false);
        updater.setImmediateInstallAndRelaunch(true);
        Updater::setInstance(&updater);
        const WarningCounter failures("^Cannot load websites: http://.*/web/index.json: ");
        platform = startTestCore();
        QVERIFY(platform);
        QTRY_COMPARE(failures.count(), 1);
        QVERIFY(client.pair(*Core::instance()->server()));

        old = addStoppedApp("old.desktop", 100);
        recent = addStoppedApp("recent.desktop", 300);
        middle = addStoppedApp("middle.desktop", 200);
        QPixmap image(256, 256);
        image.fill(Qt::blue);
        live = platform->addApp("live.desktop", "Live", true, QIcon(image));
        emit platform->installedAppsChanged();
        QCOMPARE(client.nextJson().value(Key::Apps).toArray().size(), 4); // pushed on the change
    }
    void init() { platform->calls.clear(); }

    void promisesDeleteThemselvesWhicheverWayTheySettle()
    {
        auto* resolved = new Promise<QByteArray>(this);
        auto* rejected = new Promise<QByteArray>(this);
        QPointer<BasePromise> resolvedGuard(resolved), rejectedGuard(rejected);
        QByteArray seen;
        connect(resolved, &BasePromise::resolve, [&] { seen = resolved->value; });
        resolved->value = "png";
        emit resolved->resolve();
        emit rejected->reject("no such app");
        QCOMPARE(seen, QByteArray("png"));
        QVERIFY(resolvedGuard && rejectedGuard); // still readable until the loop turns
        QTRY_VERIFY(!resolvedGuard && !rejectedGuard);
    }

    void appLists()
    {
        const QJsonArray expected{
            QJsonObject{{Key::Id, live->id()}, {Key::Name, "Live"}, {Key::State, Key::Running}},
            QJsonObject{{Key::Id, recent->id()}, {Key::Name, "RECENT.DESKTOP"}},
            QJsonObject{{Key::Id, middle->id()}, {Key::Name, "MIDDLE.DESKTOP"}},
            QJsonObject{{Key::Id, old->id()}, {Key::Name, "OLD.DESKTOP"}},
        };
        QCOMPARE(ask(request(Method::InstalledApps)).json, request(Method::InstalledApps, {{Key::Apps, expected}}));

        setCurrent(nullptr);
        QCOMPARE(ask(sync).json, sync);
        setCurrent(middle);
        QCOMPARE(ask(sync).json, request(Method::CurrentApp, {{Key::Id, middle->id()}}));

        platform->fileApps = {middle, old};
        const QJsonObject file{{Key::Path, "/tmp/a b.txt"}};
        const QJsonArray apps{QJsonObject{{Key::Id, middle->id()}}, QJsonObject{{Key::Id, old->id()}}};
        QCOMPARE(ask(request(Method::FileApps, file)).json,
                 request(Method::FileApps, {{Key::Path, file.value(Key::Path)}, {Key::Apps, apps}}));
    }

    void appIcons()
    {
        auto iconOf = [](const QString& id, const QJsonValue& size) {
            return request(Method::AppIcon, {{Key::Id, id}, {Key::Size, size}});
        };
        const TestClient::Message icon = ask(iconOf(live->id(), 32.0));
        QCOMPARE(icon.json, iconOf(live->id(), 32));
        QCOMPARE(pngSize(icon), QSize(32, 32));

        // Sizes come from the network: neither tiny nor huge ones, nor strings, are rendered.
        const QJsonObject smallest = iconOf(live->id(), 16);
        for (const QJsonObject& silent :
             {iconOf(live->id(), 15), iconOf(live->id(), 1025), iconOf(live->id(), 1 << 30), iconOf(live->id(), "32"),
              iconOf(QString(), 32), iconOf("nobody.desktop", 32)})
            QCOMPARE(client.replyAfter({silent}, smallest), smallest);

        // An application without an image still gets its answer.
        const TestClient::Message empty = ask(iconOf(old->id(), 48));
        QCOMPARE(empty.json, iconOf(old->id(), 48));
        QCOMPARE(empty.attachments, Server::Attachments({{Server::Png, QByteArray()}}));
    }

    // Icons are asked for at 64 logical pixels: at ratio 2 in device pixels, scaled keeping the aspect.
    void iconAtDevicePixelRatio()
    {
        const QList<QPair<QList<QSize>, QSize>> answersAndResults{{{{128, 128}, {64, 64}}, {64, 64}},
                                                                  {{{128, 64}, {32, 16}}, {64, 32}}};
        for (const auto& [answers, result] : answersAndResults) {
            QList<QSize> asked;
            QCOMPARE(appIconPixmap(QIcon(new ScriptedIconEngine(answers, &asked)), 64, 2.0).size(), result);
            QCOMPARE(asked, (QList<QSize>{{64, 64}, {32, 32}}));
        }
    }

    // Window actions and the focused element act on the named application, or on the current
    // one when the id is empty.
    void actionsFallBackToTheCurrentAppOnlyForEmptyId()
    {
        const QList<QPair<QJsonObject, QString>> actions{
            {request(Method::AppActivate), "activate"},
            {request(Method::AppClose), "close"},
            {request(Method::AppQuit), "quit"},
            {request(Method::AppMinimize), "toggleMinimize"},
            {request(Method::AppMaximize), "toggleMaximize"},
            {request(Method::AppFullscreen), "toggleFullscreen"},
            {request(Method::AppScroll, {{Key::ScrollX, 3}, {Key::ScrollY, -4}}), "scroll(3,-4)"},
            {request(Method::AppScroll), "scroll(0,0)"},
            {request(Method::FocusPerform), "performFocusedElement"},
            {request(Method::FocusValue, {{Key::Value, "new text"}}), "setFocusedElementValue(new text)"},
            {request(Method::FocusValue, {{Key::Value, 7}}), "setFocusedElementValue()"},
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
            for (const QString& id : QStringList{QString(), middle->id(), "nobody.desktop"}) {
                QJsonObject named = action.first;
                named.insert(Key::Id, id);
                client.send(named);
            }
            calls.append(action.second);
        }
        QCOMPARE(ask(sync).json.value(Key::Id).toString(), live->id());
        QCOMPARE(live->calls, calls);
        QCOMPARE(middle->calls, calls);
    }

    // The value goes back with the id as sent: empty when the client left the choice to the focus.
    void focusedValue()
    {
        setCurrent(live);
        live->focusRole(App::Text, "Message", "first line\nsecond", {});
        QCOMPARE(client.nextJson().value(Key::Value).toString(), "first line..."); // the push
        QCOMPARE(ask(request(Method::FocusValue)).json,
                 request(Method::FocusedElement, {{Key::Id, QString()}, {Key::Value, "first line\nsecond"}}));
        QCOMPARE(ask(request(Method::FocusValue, {{Key::Id, middle->id()}})).json,
                 request(Method::FocusedElement, {{Key::Id, middle->id()}, {Key::Value, QString()}}));
    }

    void keySequences()
    {
        auto keys = [this](const QJsonValue& keys) {
            live->calls.clear();
            verifySilent({request(Method::KeySequence, {{Key::Id, live->id()}, {Key::Keys, keys}})});
            return live->calls;
        };
        QCOMPARE(keys("ctrl+c,ctrl+v"), QStringList{"performShortcut(ctrl+c,ctrl+v)"});
        QCOMPARE(keys(QJsonArray{"ctrl+a", 5, "Delete"}),
                 (QStringList{"performShortcut(ctrl+a)", "performShortcut()", "performShortcut(Delete)"}));
        QTest::ignoreMessage(QtWarningMsg, "No keys QJsonValue(double, 5)");
        QCOMPARE(keys(5), QStringList());
    }

    void menuTreeAndItems()
    {
        live->menuItems = {
            {"file", "File", {{"open", "Open", {}}, {"recent", "Recent", {{"r1", "a.txt", {}}}}}},
            {"help", "Help", {}},
        };
        const TestClient::Message menu = ask(request(Method::Menu, {{Key::Id, live->id()}}));
        QCOMPARE(menu.json, request(Method::Menu, {{Key::Id, live->id()}}));
        const QByteArray document(
            R"([{"i":"file","m":[{"i":"open","n":"Open"},{"i":"recent","m":[{"i":"r1","n":"a.txt"}],)"
            R"("n":"Recent"}],"n":"File"},{"i":"help","n":"Help"}])");
        QCOMPARE(menu.attachments, Server::Attachments({{Server::Json, document}}));
        QCOMPARE(ask(request(Method::Menu, {{Key::Id, old->id()}})).attachments.at(0).second, QByteArray("[]"));

        // The menu and key handlers name their application: an empty id never means the current one.
        setCurrent(live);
        live->calls.clear();
        verifySilent({request(Method::Menu), request(Method::MenuPerform, {{Key::MenuItem, "no-such-item"}}),
                      request(Method::KeySequence, {{Key::Keys, "ctrl+q"}}),
                      request(Method::MenuPerform, {{Key::Id, live->id()}, {Key::MenuItem, "x:1"}})});
        QCOMPARE(live->calls, QStringList{"performMenuItem(x:1)"});
    }

    // A change is pushed in the shape of the getter's answer; neither sets anything.
    void systemGettersAndPushes()
    {
        platform->volumePercent = 42;
        platform->muted = true;
        platform->brightnessPercent = 65;
        platform->locked = true;
        platform->setUnsupported({"brightness", "menus"});
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
            QCOMPARE(ask(request(change.second.value(Key::Method).toString())).json, change.second);
        }
        // The feature list has nothing to set: a value is just an extra field.
        QCOMPARE(ask(state(Method::Unsupported, QJsonArray{"x"})).json, unsupported);
        platform->setUnsupported({});
        QCOMPARE(client.nextJson(), state(Method::Unsupported, QJsonArray()));
        QCOMPARE(platform->calls, QStringList());
    }

    void settersAndFileOpenApplyLenientlyAndAnswerNothing()
    {
        verifySilent({
            state(Method::Volume, 30),
            state(Method::Volume, QJsonValue::Null), // present, so a set, of 0
            state(Method::Volume, 12.5),
            state(Method::VolumeMute, true),
            state(Method::VolumeMute, "true"), // a string is no boolean
            state(Method::Brightness, 80),
            state(Method::ScreenLock, false), // no remote unlock
            state(Method::ScreenLock, true),
            request(Method::FileOpen, {{Key::Path, "/tmp/c.txt"}, {Key::Id, "editor.desktop"}}),
            request(Method::FileOpen),
        });
        QCOMPARE(platform->calls, (QStringList{"setVolumeLevel(30)", "setVolumeLevel(0)", "setVolumeLevel(0)",
                                               "setVolumeMute(1)", "setVolumeMute(0)", "setBrightness(80)",
                                               "lockScreen", "openFile(/tmp/c.txt,editor.desktop)", "openFile(,)"}));
    }

    void listingsFollowTheFileBrowsersRules()
    {
        // Directories (links by their target) first, then by name ignoring case, accents sorting
        // with their letter; hidden names, the pipe and the dangling link are left out.
        QCOMPARE(listing(tree), entries({"b", "linked", "locked", "Zeta"},
                                        {"A.txt", "c.txt", "D.txt", "é.txt", "f.txt", "shortcut.txt"}));
        const QJsonObject home = ask(request(Method::DirectoryListing)).json;
        QCOMPARE(home.value(Key::Path).toString(), environment.home());
        QCOMPARE(home.value(Key::Name).toString(), QDir(environment.home()).dirName());
        QVERIFY(home.value(Key::Files).toArray().contains(QJsonObject{{Key::Name, "tree"}, {Key::FileType, "d"}}));

        QCOMPARE(ask(request(Method::DirectoryListing, {{Key::Path, inTree("missing")}})).json,
                 (request(Method::DirectoryListing,
                          {{Key::Path, inTree("missing")}, {Key::Name, "missing"}, {Key::Files, QJsonArray()}})));
        // Permissions do not stop root, as in CI: then the directory is simply readable.
        QCOMPARE(listing(inTree("locked")), geteuid() != 0 ? QJsonArray() : entries({}, {"inside.txt"}));
        QCOMPARE(listing(inTree(".cache")), QJsonArray());
    }

    void fileIconsByPathOrBySuffix()
    {
        // A path wins over a suffix; only without one is the suffix asked for, and echoed.
        const QString file = inTree("A.txt");
        const TestClient::Message byPath =
            ask(request(Method::FileIcon, {{Key::Size, 1024}, {Key::Path, file}, {Key::FileType, "pdf"}}));
        QCOMPARE(byPath.json, (request(Method::FileIcon, {{Key::Path, file}, {Key::Size, 1024}})));
        QCOMPARE(pngSize(byPath), QSize(1024, 1024));
        const TestClient::Message bySuffix =
            ask(request(Method::FileIcon, {{Key::Size, 16}, {Key::Path, ""}, {Key::FileType, "pdf"}}));
        QCOMPARE(bySuffix.json, (request(Method::FileIcon, {{Key::FileType, "pdf"}, {Key::Size, 16}})));
        QCOMPARE(pngSize(bySuffix), QSize(16, 16));
        QCOMPARE(platform->calls, QStringList{"fileTypeIcon(pdf,16)"});

        verifySilent({request(Method::FileIcon, {{Key::Size, 15}, {Key::Path, file}}),
                      request(Method::FileIcon, {{Key::Size, 1025}, {Key::Path, file}}),
                      request(Method::FileIcon, {{Key::Size, 5000000}, {Key::FileType, "pdf"}}),
                      request(Method::FileIcon, {{Key::Size, 32}, {Key::Path, inTree("missing")}})}); // no icon
    }

    void filePreviewsAnswerWithinBounds()
    {
        const QString image = inTree("photo.png");
        writeBlack(image, 300, 200, QImage::Format_RGB32);
        const QJsonObject asked =
            request(Method::FilePreview, {{Key::Path, image}, {Key::Width, 150}, {Key::Height, 999}});
        TestClient::Message preview = ask(asked);
        QCOMPARE(preview.json, asked);
        QCOMPARE(pngSize(preview), QSize(150, 100));
        QCOMPARE(pngSize(ask(request(Method::FilePreview,
                                     {{Key::Path, inTree("A.txt")}, {Key::Width, 64}, {Key::Height, 64}}))),
                 QSize(64, 64)); // not an image: its icon

        // Sizes from the network are bounded before anything is drawn, but echoed as sent; an image
        // is never enlarged.
        preview = ask(request(Method::FilePreview, {{Key::Path, image}, {Key::Width, 100000000}, {Key::Height, -3}}));
        QCOMPARE(preview.json.value(Key::Width).toInt(), 100000000);
        QCOMPARE(preview.json.value(Key::Height).toInt(), -3);
        QCOMPARE(pngSize(preview), QSize(300, 200));

        // width 0: nothing drawn
        QCOMPARE(ask(request(Method::FilePreview, {{Key::Path, image}})).attachments,
                 Server::Attachments({{Server::Png, QByteArray()}}));
        verifySilent({request(Method::FilePreview, {{Key::Width, 100}})});
        QCOMPARE(platform->calls,
                 (QStringList{"filePreview(" + image + ",150,999)", "filePreview(" + inTree("A.txt") + ",64,64)",
                              "filePreview(" + image + ",2048,0)", "filePreview(" + image + ",0,0)"}));
    }

    // Only a sequential JPEG decodes scaled. Every other large image is refused from its header, and
    // only regular files are opened: each preview is answered at once, whatever the file.
    void previewsNeverStall()
    {
        const QString huge = inTree("huge.jpg"); // 50 megapixels, 200 MB once decoded
        writeBlack(huge, 8660, 5774, QImage::Format_RGB888);
        QPixmap preview;
        QVERIFY(peakGrowthMb([&] { preview = scaledImagePreview(huge, 512); }) < 32);
        QCOMPARE(preview.size(), QSize(512, 341));
        QCOMPARE(preview.toImage().pixelColor(256, 170), QColor(Qt::black));

        // The first header alone claims 10 GB; the images hold real pixels, refused for their stated
        // size or for a decoder that cannot scale without holding them all.
        writeBmpClaim(inTree("claim.bmp"));
        writeBlack(inTree("progressive.jpg"), 4100, 4100, QImage::Format_RGB888, true);
        writeBlack(inTree("wide.png"), 30001, 1, QImage::Format_Mono);
        writeBlack(inTree("dense.png"), 10000, 10000, QImage::Format_Mono);
        writeBlack(inTree("whole.bmp"), 4100, 4100, QImage::Format_Mono);
        for (const char* name :
             {"claim.bmp", "progressive.jpg", "wide.png", "dense.png", "whole.bmp", "fifo", "missing"}) {
            const QJsonObject asked = request(Method::FilePreview, {{Key::Path, inTree(name)}, {Key::Width, 512}});
            QElapsedTimer clock;
            clock.start();
            QJsonObject answer;
            QVERIFY2(peakGrowthMb([&] { answer = ask(asked).json; }) < 32, name);
            QVERIFY2(clock.elapsed() < 100, name);
            QCOMPARE(answer.value(Key::Path), asked.value(Key::Path));
            QVERIFY2(scaledImagePreview(inTree(name), 512).isNull(), name);
        }
    }

    // Whatever the sleep setting says, a catalogue that failed at start-up gets another chance.
    void websiteCommandsFromACatalogueLoadedAgainForTheFirstClient()
    {
        QTRY_COMPARE(Core::instance()->websites().keys(), QStringList({"a.example", "b.example"}));
        QCOMPARE(Core::instance()->websites().value("b.example")->commands(), QJsonObject());
        QCOMPARE(webService.requests().size(), 4); // nothing asked for the entries without a domain

        // A page's commands are pushed once per host.
        TestApp* browser = platform->addApp("browser.desktop", "Browser");
        const QJsonObject known = request(Method::CommandsChanged, {{Key::Id, browser->id()}, {"c", "Reload"}});
        const QJsonObject unknown = request(Method::CommandsChanged, {{Key::Id, browser->id()}});
        browser->setUrl(QUrl("https://a.example/news?page=2"));
        QCOMPARE(client.nextJson(), known);
        browser->setUrl(QUrl("https://a.example/sport"));
        browser->setUrl(QUrl("https://nowhere.example/"));
        QCOMPARE(client.nextJson(), unknown);
        // Coming back to the application shows the page's commands again.
        browser->setCurrent(false);
        browser->setUrl(QUrl("https://nowhere.example/"));
        QCOMPARE(client.nextJson(), unknown);
    }

    void commandsAreLoadedOnceRelayedAsReceivedAndRetried()
    {
        TestApp* app = platform->addApp("Web-Tool.desktop-Kit.desktop", "Tool");
        client.send(commandsOf(app));
        expectCommands(app);
        QCOMPARE(webService.requests().last().query, QByteArray("q=web%20tool%20kit"));
        QVERIFY(app->isBrowser());
        client.send(commandsOf(app));
        expectCommands(app);
        QCOMPARE(webService.count("/app"), 1);

        // A failed load answers nothing; asking again tries again, and that load answers the request
        // still waiting as well, each once.
        app = platform->addApp("missing.desktop", "Missing");
        webService.enqueue("/app", HttpTestServer::answer(404));
        {
            const WarningCounter failures("^Cannot load commands \"missing.desktop\"");
            client.send(commandsOf(app));
            QTRY_COMPARE(failures.count(), 1);
        }
        verifySilent({});
        client.send(commandsOf(app));
        expectCommands(app);
        expectCommands(app);
        verifySilent({});
    }

    // Two loads run; the first answers the one request left, the second answers nothing.
    void disconnectedClientIsNotWrittenTo()
    {
        TestClient leaving("device-2");
        Server* server = Core::instance()->server();
        QVERIFY(leaving.pair(*server));
        QPointer<QWebSocket> leavingConnection = server->clients().last();
        TestApp* app = platform->addApp("slow.desktop", "Slow");
        QSignalSpy loaded(app, &App::commandsLoaded);
        HttpTestServer::Response slow = HttpTestServer::answer(200, Document);
        slow.delay = 500; // room for the client to leave first
        webService.enqueue("/app", slow, 2);
        const int downloads = webService.count("/app");
        leaving.send(commandsOf(app));
        client.send(commandsOf(app));
        QTRY_COMPARE(webService.count("/app"), downloads + 2);
        leaving.socket.close();
        QTRY_VERIFY(leavingConnection.isNull());
        QCOMPARE(loaded.count(), 0);

        expectCommands(app);
        QTRY_COMPARE(loaded.count(), 2);
        verifySilent({});
    }

    void commandIconsAreRelayedByteForByte()
    {
        const QByteArray png("\x89PNG\r\n\x1a\n\0\x01\xff", 11);
        webService.setResponse("/icon", HttpTestServer::answer(200, png));
        auto iconOf = [](int size) {
            return request(Method::CommandIcon, {{Key::Id, "star & moon"}, {Key::Size, size}});
        };
        client.send(iconOf(1025)); // sizes come from the network
        const TestClient::Message icon = ask(iconOf(16));
        QCOMPARE(icon.json, iconOf(16));
        QCOMPARE(icon.attachments, Server::Attachments({{Server::Png, png}}));
        QCOMPARE(webService.count("/icon"), 1);
        QCOMPARE(webService.requests().last().query, QByteArray("i=star%20%26%20moon&s=16"));
    }

    // Last: the client leaves.
    void updateRelaunchesOnlyWithoutClients()
    {
        QVERIFY(!updater.immediateInstallAndRelaunch());
        client.socket.close();
        QTRY_VERIFY(updater.immediateInstallAndRelaunch());
    }
};

QTEST_MAIN(TestHandlers)
#include "testhandlers.moc"

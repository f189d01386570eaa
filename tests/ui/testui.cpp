#include "http/webservice.h"
#include "server/core.h"
#include "server/protocol.h"
#include "tests/support/testclient.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testplatform.h"
#include "ui/aboutbox.h"
#include "ui/connectphonedialog.h"
#include "ui/icons.h"
#include "ui/preferences.h"
#include "ui/ui.h"
#include "ui/welcomeview.h"
#include "updater/updater.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QHostInfo>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTextDocument>
#include <QtTest>

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

namespace {
class IdleUpdater : public Updater
{
public:
    void update() override {}
    void checkAndMaybeShowUI() override { ++checks; }
    int checks = 0;
};

// A desktop whose integration the test may break.
class SwitchablePlatform : public TestPlatform
{
public:
    using TestPlatform::TestPlatform;
    bool isAvailable() override { return available; }
    bool available = true;
};

QImage imageOf(const QIcon& icon)
{
    return icon.pixmap(QSize(20, 16)).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage imageAt(const QString& path)
{
    return QImage(path).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

bool showsTray(const QSystemTrayIcon* tray, const char* name)
{
    return imageOf(tray->icon()) == imageAt(iconPath(name, 16, QGuiApplication::palette().color(QPalette::Window)));
}

void setWindowColor(const QColor& color)
{
    QPalette palette = QGuiApplication::palette();
    palette.setColor(QPalette::Window, color);
    QGuiApplication::setPalette(palette);
}

// The one open window of its kind; null when there is none, or more than one.
template <typename Dialog> Dialog* openDialog()
{
    QList<Dialog*> open;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<Dialog*>(widget); dialog && dialog->isVisible())
            open << dialog;
    return open.size() == 1 ? open.first() : nullptr;
}

template <typename Widget> Widget* childWithText(QWidget* parent, const QString& text)
{
    for (Widget* child : parent->findChildren<Widget*>())
        if (child->text() == text)
            return child;
    return nullptr;
}

void click(QWidget* dialog, const QString& text)
{
    QTest::mouseClick(childWithText<QAbstractButton>(dialog, text), Qt::LeftButton);
}

// Dialogs delete themselves later; a test function runs outside the event loop that would do it.
bool goneAfter(QObject* object, const std::function<void()>& action)
{
    QSignalSpy gone(object, &QObject::destroyed);
    action();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return !gone.isEmpty() || gone.wait();
}

// The greeting's body as the user reads it.
QString welcomeText(const QWidget* view)
{
    QTextDocument body;
    for (QLabel* label : view->findChildren<QLabel*>())
        if (label->wordWrap())
            body.setHtml(label->text());
    return body.toPlainText();
}

bool closed(QWidget* dialog)
{
    return goneAfter(dialog, [dialog] { dialog->close(); });
}

// A network of the test's own for this thread and the programs it starts, left again at the end:
// only a loopback interface that is down, so the machine's own addresses never show.
struct PrivateNetwork
{
    const int home = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const bool entered = home >= 0 && unshare(CLONE_NEWNET) == 0;
    ~PrivateNetwork()
    {
        if (entered)
            setns(home, CLONE_NEWNET);
        close(home);
    }
};

// What a phone's camera reads off the widget.
QByteArray decoded(QWidget* code, const QString& folder)
{
    const QString png = folder + QStringLiteral("/code.png");
    if (!code->grab().save(png))
        return QByteArray();
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"), png});
    return zbar.waitForFinished() ? zbar.readAllStandardOutput().trimmed() : QByteArray();
}

} // namespace

class TestUI : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    QProcess panel; // shows tray icons
    IdleUpdater updater;
    UI* ui = nullptr;
    Server* server = nullptr;
    SwitchablePlatform* platform = nullptr;
    QSystemTrayIcon* tray = nullptr;
    qint64 now = 0; // the server's clock: a refusal holds the address off for a while

    QString countText() const { return tray->contextMenu()->actions().first()->text(); }
    void choose(const QString& entry) { childWithText<QAction>(tray->contextMenu(), entry)->trigger(); }

    // A second request raises the open dialog; once closed, the next request makes a new one.
    template <typename Dialog> bool opensOnce(const std::function<void()>& request)
    {
        request();
        Dialog* first = openDialog<Dialog>();
        request();
        if (!first || openDialog<Dialog>() != first || !closed(first))
            return false;
        request();
        Dialog* next = openDialog<Dialog>();
        return next && closed(next);
    }

    // A device knocks; its prompt, or null when none came.
    QMessageBox* promptFor(TestClient& client)
    {
        if (!client.open(server->port()) || client.nextJson().value(Key::Method).toString() != Method::Wait)
            return nullptr;
        return openDialog<QMessageBox>();
    }

private slots:
    void initTestCase()
    {
        panel.start(STANDIN_PANEL_PATH, QStringList());
        QTRY_VERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered("org.kde.StatusNotifierWatcher"));
        // Neither the machine's icon themes nor the real web service take part.
        environment.useIconTheme({{"glyph", Qt::red}, {"glyph-symbolic", Qt::red}, {"plain", Qt::red}});
        setWebServiceBaseUrl("http://127.0.0.1:1");
        Core::setPlatformFactory([](QObject* parent) { return new SwitchablePlatform(parent); });
        Updater::setInstance(&updater);

        QSignalSpy ready(Core::instance(), &Core::ready);
        ui = new UI;
        QVERIFY(updater.immediateInstallAndRelaunch());
        QVERIFY(ready.wait());
        QCoreApplication::processEvents(); // handlers register on the turn after they are made
        server = Core::instance()->server();
        server->setClock([this] { return now; });
        platform = static_cast<SwitchablePlatform*>(Core::instance()->platform());
        tray = ui->findChild<QSystemTrayIcon*>();
        QVERIFY(tray);
    }

    void cleanupTestCase()
    {
        delete ui;
        panel.terminate();
        panel.waitForFinished();
    }

    // Greeted and checked for updates at start-up; later the desktop asks for the greeting again.
    // Without a panel that shows tray icons it says how to get one, and greets at every start.
    void welcomeFollowsDesktop()
    {
        QCOMPARE(updater.checks, 1);
        QVERIFY(closed(openDialog<WelcomeView>()));
        // As root, in a namespace of its own, the host takes a name full of markup: shown as it is.
        const QByteArray host = "<i>desk&amp;top</i>";
        if (unshare(CLONE_NEWUTS) == 0)
            sethostname(host.constData(), size_t(host.size()));
        for (const bool available : {true, false}) {
            platform->available = available;
            emit platform->needPermissions();
            WelcomeView* view = openDialog<WelcomeView>();
            QVERIFY(view);
            QVERIFY(childWithText<QPushButton>(view, available ? "Use Pavo Server" : "OK"));
            const QString body = welcomeText(view);
            QCOMPARE(body.contains(QHostInfo::localHostName()), available);
            QCOMPARE(body.contains("GNOME Shell extension"), !available);
            QVERIFY(!body.contains("appindicator"));
            auto* dontShow = view->findChild<QCheckBox*>();
            QCOMPARE(dontShow != nullptr, available);
            if (dontShow)
                dontShow->setChecked(true);
            QVERIFY(goneAfter(view, [view, available] { click(view, available ? "Use Pavo Server" : "OK"); }));
        }
        platform->available = true;
        QVERIFY(WelcomeView::dismissed());

        panel.terminate();
        QVERIFY(panel.waitForFinished());
        QTRY_VERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered("org.kde.StatusNotifierWatcher"));
        QVERIFY(!WelcomeView::dismissed());
        emit platform->needPermissions();
        WelcomeView* view = openDialog<WelcomeView>();
        QVERIFY(view);
        QVERIFY(welcomeText(view).contains("The top bar shows no tray icon for Pavo Server. To get one, install the "
                                           "package gnome-shell-extension-appindicator, then log out and in again."));
        QVERIFY(!view->findChild<QCheckBox*>() && closed(view));
    }

    void oneDialogOfEachKind()
    {
        QVERIFY(opensOnce<Preferences>([this] { choose("Preferences..."); }));
        const int checks = updater.checks;
        QVERIFY(opensOnce<AboutBox>([this] { choose("About Pavo Server"); }));
        QCOMPARE(updater.checks, checks + 3); // every request looks for an update
        QVERIFY(opensOnce<WelcomeView>([this] { emit platform->needPermissions(); }));
        QVERIFY(opensOnce<ConnectPhoneDialog>([this] { choose("Connect a Phone..."); }));

        // A later box still gets the updater's label and button after the first took its own along.
        ui->showAboutBox();
        AboutBox* about = openDialog<AboutBox>();
        QVERIFY(about->isAncestorOf(updater.getLabel()) && about->isAncestorOf(updater.getButton()));
        QVERIFY(closed(about));
    }

    // Devices admitted through the prompt, forgotten one by one or all at once from the preferences,
    // which disconnects them. The tray shows "tray" while nobody is connected, "tray-color" from the first client on,
    // untouched by the next ones.
    void preferencesForgetDevices()
    {
        choose("Preferences...");
        Preferences* empty = openDialog<Preferences>();
        QVERIFY(empty && empty->findChildren<QLabel*>().isEmpty());
        QVERIFY(!childWithText<QPushButton>(empty, "Deauthorize All") && closed(empty));
        QVERIFY(showsTray(tray, "tray"));

        TestClient first("device-1"), second("device-2"), third("device-3");
        for (TestClient* client : {&first, &second, &third}) {
            const qint64 shown = tray->icon().cacheKey();
            QMessageBox* box = promptFor(*client);
            QVERIFY(box);
            if (client == &first) { // as the prompt script answers: on from "Deny" to "Authorize", and press it
                QTest::keyClick(box, Qt::Key_Tab);
                QTest::keyClick(box->focusWidget(), Qt::Key_Space);
            } else {
                click(box, QStringLiteral("Authorize"));
            }
            QVERIFY(!client->nextJson().value(Key::Secret).toString().isEmpty());
            QVERIFY(client->nextJson().value(Key::Value).toBool());
            QVERIFY(client == &first ? showsTray(tray, "tray-color") : tray->icon().cacheKey() == shown);
        }
        QCOMPARE(countText(), QStringLiteral("3 client(s) connected"));

        choose("Preferences...");
        Preferences* preferences = openDialog<Preferences>();
        QVERIFY(preferences);
        auto* label = childWithText<QLabel>(preferences, "3 devices authorized");
        QVERIFY(label);
        QLabel* secondId = childWithText<QLabel>(preferences, second.deviceId);
        QVERIFY(secondId && secondId->textFormat() == Qt::PlainText);
        QVERIFY(goneAfter(secondId, [secondId] {
            QTest::mouseClick(childWithText<QPushButton>(secondId->parentWidget(), "Forget"), Qt::LeftButton);
        }));
        QVERIFY(second.waitForDisconnected());
        QCOMPARE(server->authorizedDeviceIds(), QStringList({first.deviceId, third.deviceId}));
        QCOMPARE(label->text(), QStringLiteral("2 devices authorized"));
        QVERIFY(first.isConnected() && third.isConnected());

        auto* deauthorize = childWithText<QPushButton>(preferences, "Deauthorize All");
        QTest::mouseClick(deauthorize, Qt::LeftButton);
        QVERIFY(label->text().isEmpty() && !deauthorize->isEnabled());
        QVERIFY(!childWithText<QLabel>(preferences, first.deviceId)->isVisibleTo(preferences));
        for (TestClient* client : {&first, &third})
            QVERIFY(client->waitForDisconnected());
        QCOMPARE(server->authorizedDeviceCount(), 0);
        QTRY_COMPARE(countText(), QStringLiteral("No clients connected"));
        QVERIFY(showsTray(tray, "tray"));
        QVERIFY(closed(preferences));
    }

    // Only "Authorize" admits: "Deny", Return, Escape, the close button, the client leaving and an
    // unanswered prompt all end the prompt without admitting anyone.
    void otherEndingsRefuse()
    {
        for (const QByteArray ending : {"Deny", "Return", "Escape", "close", "leave", "deadline"}) {
            TestClient client(QStringLiteral("device-no"));
            // Long enough for the prompt to be found on a slow, instrumented build.
            server->setPromptTimeout(ending == "deadline" ? 500 : 60000);
            QMessageBox* box = promptFor(client);
            QVERIFY(box);
            const auto end = [&] {
                if (ending == "Deny")
                    click(box, QStringLiteral("Deny"));
                else if (ending == "Return")
                    QTest::keyClick(box, Qt::Key_Return);
                else if (ending == "Escape")
                    QTest::keyClick(box, Qt::Key_Escape);
                else if (ending == "close")
                    box->close();
                else if (ending == "leave")
                    client.socket.close();
            };
            QVERIFY2(goneAfter(box, end) && client.waitForDisconnected(), ending);
            QVERIFY(!server->isAuthorized(client.deviceId));
            QVERIFY(!openDialog<QMessageBox>());
            now += RefusalBackoff::ForgottenAfterMs;
        }
        server->setPromptTimeout(60000);
    }

    // No label of the prompt may read markup from the network; a long name or id is cut to 64
    // characters.
    void networkTextShownPlainly()
    {
        const QString markup = QStringLiteral("<h1>Your bank</h1>");
        const QString address = QStringLiteral("<a href='https://example.org'>10.0.0.7</a><img src='x'>");
        const QList<QPair<QString, QString>> names = {{markup, markup},
                                                      {QString(64, 'n'), QString(64, 'n')},
                                                      {QString(65, 'n'), QString(63, 'n') + QChar(0x2026)}};
        for (const auto& [name, shown] : names) {
            auto* connection = new QObject;
            ui->showAuthDialog(connection, name, name, address);
            QMessageBox* box = openDialog<QMessageBox>();
            QVERIFY(box);
            QCOMPARE(box->text(), shown + QStringLiteral(" would like to connect."));
            QCOMPARE(box->informativeText(), address + QStringLiteral("\nDevice ID: ") + shown);
            for (QLabel* label : box->findChildren<QLabel*>())
                QVERIFY2(label->text().isEmpty() || label->textFormat() == Qt::PlainText, qPrintable(label->text()));
            QVERIFY(goneAfter(box, [connection] { delete connection; }));
        }
    }

    // A protocol 2 device's code stands out for the user to compare; the older clients' switch lives
    // in the preferences.
    void secureDeviceShowsItsCode()
    {
        TestClient device(QStringLiteral("secure"));
        device.secure = true;
        QVERIFY(device.open(server->port()) && device.nextJson().contains(Key::Commitment));
        device.sendPairingKey();
        QCOMPARE(device.nextMethod(), Method::Wait);
        QMessageBox* box = openDialog<QMessageBox>();
        QVERIFY(box);
        auto* code = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
        QVERIFY(code && code->text() == device.code && code->textFormat() == Qt::PlainText);
        QVERIFY(code->font().pointSizeF() > 2 * box->font().pointSizeF());
        QVERIFY(box->text().contains(QStringLiteral("Device ID: secure")));
        click(box, QStringLiteral("Authorize"));
        QVERIFY(device.nextJson().value(Key::Value).toBool());
        QVERIFY(device.leave());

        choose("Preferences...");
        Preferences* preferences = openDialog<Preferences>();
        QVERIFY(preferences);
        auto* olderClients = childWithText<QCheckBox>(preferences, "Allow older clients");
        QVERIFY(olderClients && olderClients->isChecked());
        olderClients->click();
        QVERIFY(!Server::allowsOlderClients());
        olderClients->click();
        QVERIFY(Server::allowsOlderClients() && closed(preferences));
        server->deauthorizeAll();
    }

    // The code reads as the address shown beside it: the server's port on the machine's network
    // address. Without a network the dialog says so instead.
    void connectPhoneShowsAddress()
    {
        PrivateNetwork network;
        if (!network.entered)
            QSKIP("A network namespace of the test's own needs root");
        choose("Connect a Phone...");
        auto* dialog = openDialog<ConnectPhoneDialog>();
        QVERIFY(dialog && !dialog->findChild<QLabel*>("code") && !dialog->findChild<QLabel*>("address"));
        QVERIFY(childWithText<QLabel>(dialog, "This computer is not connected to a local network. Connect it to the "
                                              "network your phone uses, then open this window again."));
        QVERIFY(closed(dialog));

        // A veth pair: an interface that is up, as a network card would be.
        const QString veth = "ip link add v0 type veth peer name v1 && ip addr add 10.77.0.1/24 dev v0 && "
                             "ip link set v0 up && ip link set v1 up";
        QCOMPARE(QProcess::execute("sh", {"-c", veth}), 0);
        choose("Connect a Phone...");
        dialog = openDialog<ConnectPhoneDialog>();
        QVERIFY(dialog);
        auto* address = dialog->findChild<QLabel*>("address");
        QVERIFY(address && address->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
        QCOMPARE(address->text(), QStringLiteral("http://10.77.0.1:%1/").arg(server->port()));
        QCOMPARE(decoded(dialog->findChild<QLabel*>("code"), environment.home()), address->text().toUtf8());
        QVERIFY(closed(dialog));
    }

    // Last, as it changes the palette the tray icon was drawn for.
    void themeThenResources()
    {
        QCOMPARE(iconFromTheme(QStringLiteral("glyph")).name(), QStringLiteral("glyph-symbolic"));
        QCOMPARE(iconFromTheme(QStringLiteral("glyph-symbolic")).name(), QStringLiteral("glyph-symbolic"));
        QCOMPARE(iconFromTheme(QStringLiteral("plain")).name(), QStringLiteral("plain"));
        QVERIFY(icon("absent").isNull());
        // What the theme lacks comes from the built-in set for the window colour.
        QCOMPARE(iconPath("tray", 16, QColor::fromHsv(0, 0, 128)), QStringLiteral(":/icons/dark/16/tray.png"));
        setWindowColor(QColor::fromHsv(0, 0, 128));
        QCOMPARE(imageOf(icon("tray")), imageAt(":/icons/dark/16/tray.png"));
        setWindowColor(QColor::fromHsv(0, 0, 129));
        QCOMPARE(imageOf(icon("tray")), imageAt(":/icons/light/16/tray.png"));
    }

    // The "@2x" file only for a dense screen, and only where it exists beside a path with a dot.
    void densePixmaps()
    {
        const QList<std::tuple<const char*, double, bool>> cases = {{":/images/64/app.png", 1.0, false},
                                                                    {":/images/64/app.png", 1.5, true},
                                                                    {":/images/single.png", 2.0, false},
                                                                    {":/images/nodot", 2.0, false}};
        for (const auto& [path, ratio, dense] : cases) {
            const QPixmap pixmap = hidpiPixmap(QString::fromLatin1(path), ratio);
            QVERIFY2(pixmap.width() == (dense ? 128 : 64) && pixmap.devicePixelRatio() == (dense ? ratio : 1.0), path);
        }
    }
};

QTEST_MAIN(TestUI)
#include "testui.moc"

#include "http/webservice.h"
#include "server/core.h"
#include "server/protocol.h"
#include "tests/support/testclient.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testplatform.h"
#include "ui/icons.h"
#include "ui/ui.h"
#include "updater/updater.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QtTest>

namespace {
class IdleUpdater : public Updater
{
public:
    void update() override {}
};

QImage imageOf(const QIcon& icon)
{
    return icon.pixmap(QSize(20, 16)).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage trayImage(const char* name)
{
    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    return QImage(iconPath(name, 16, window)).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QMessageBox* openPrompt()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box && box->isVisible())
            return box;
    }
    return nullptr;
}

// The prompt deletes itself later; a test function runs outside the event loop that would do it.
bool deleted(QSignalSpy& gone)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return !gone.isEmpty() || gone.wait();
}

QAbstractButton* button(QMessageBox* box, const QString& text)
{
    for (QAbstractButton* candidate : box->buttons())
        if (candidate->text() == text)
            return candidate;
    return nullptr;
}
} // namespace

class TestUI : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    IdleUpdater updater;
    UI* ui = nullptr;
    Server* server = nullptr;
    QSystemTrayIcon* tray = nullptr;

    QString countText() const { return tray->contextMenu()->actions().first()->text(); }
    // A device knocks; returns its prompt, or null when none came.
    QMessageBox* promptFor(TestClient& client);

private slots:
    void initTestCase();
    void cleanupTestCase() { delete ui; }
    void menuInOrder();
    void countChangesTextAndIcon();
    void authorizeAdmits();
    void otherAnswersRefuse_data();
    void otherAnswersRefuse();
    void promptLeavesWithItsClient();
    void networkTextShownPlainly_data();
    void networkTextShownPlainly();
};

void TestUI::initTestCase()
{
    // Neither the machine's icon themes nor the real web service take part.
    QIcon::setThemeSearchPaths({environment.home()});
    QIcon::setThemeName(QStringLiteral("none"));
    setWebServiceBaseUrl("http://127.0.0.1:1");
    Core::setPlatformFactory([](QObject* parent) { return new TestPlatform(parent); });
    Updater::setInstance(&updater);

    QSignalSpy ready(Core::instance(), &Core::ready);
    ui = new UI;
    QVERIFY(updater.immediateInstallAndRelaunch());
    QVERIFY(ready.wait());
    QCoreApplication::processEvents(); // handlers register on the turn after they are made
    server = Core::instance()->server();
    tray = ui->findChild<QSystemTrayIcon*>();
    QVERIFY(tray);
}

QMessageBox* TestUI::promptFor(TestClient& client)
{
    if (!client.open(server->port()) || client.nextJson().value(Key::Method).toString() != Method::Wait)
        return nullptr;
    return openPrompt();
}

void TestUI::menuInOrder()
{
    const QList<QAction*> actions = tray->contextMenu()->actions();
    QStringList texts;
    for (QAction* action : actions)
        texts << (action->isSeparator() ? QStringLiteral("--") : action->text());
    QCOMPARE(texts, (QStringList{"No clients connected", "--", "Preferences...", "About Pavo Server", "--", "Quit"}));
    QVERIFY(!actions.first()->isEnabled());
}

void TestUI::countChangesTextAndIcon()
{
    QCOMPARE(imageOf(tray->icon()), trayImage("tray"));
    ui->onClientCountChanged(1);
    QCOMPARE(countText(), QStringLiteral("1 client(s) connected"));
    QCOMPARE(imageOf(tray->icon()), trayImage("tray-color"));
    const qint64 connected = tray->icon().cacheKey();
    ui->onClientCountChanged(2);
    QCOMPARE(countText(), QStringLiteral("2 client(s) connected"));
    QCOMPARE(tray->icon().cacheKey(), connected);
    ui->onClientCountChanged(1);
    QCOMPARE(countText(), QStringLiteral("1 client(s) connected"));
    QCOMPARE(imageOf(tray->icon()), trayImage("tray-color"));
    ui->onClientCountChanged(0);
    QCOMPARE(countText(), QStringLiteral("No clients connected"));
    QCOMPARE(imageOf(tray->icon()), trayImage("tray"));
}

void TestUI::authorizeAdmits()
{
    TestClient client(QStringLiteral("device-yes"));
    QMessageBox* box = promptFor(client);
    QVERIFY(box);
    QVERIFY2(box->text().endsWith(QStringLiteral("127.0.0.1 would like to connect.")), qPrintable(box->text()));
    QTest::mouseClick(button(box, QStringLiteral("Authorize")), Qt::LeftButton);
    QVERIFY(!client.nextJson().value(Key::Secret).toString().isEmpty());
    QVERIFY(client.nextJson().value(Key::Value).toBool());
    QVERIFY(server->isAuthorized(client.deviceId));
    // The server's count reaches the tray.
    QCOMPARE(countText(), QStringLiteral("1 client(s) connected"));
    QCOMPARE(imageOf(tray->icon()), trayImage("tray-color"));
    QVERIFY(!updater.immediateInstallAndRelaunch());

    QSignalSpy count(server, &Server::clientCountChanged);
    client.socket.close();
    QVERIFY(count.wait());
    QCOMPARE(countText(), QStringLiteral("No clients connected"));
}

void TestUI::otherAnswersRefuse_data()
{
    QTest::addColumn<bool>("closeButton");
    QTest::newRow("Deny") << false;
    QTest::newRow("close button") << true;
}

void TestUI::otherAnswersRefuse()
{
    QFETCH(bool, closeButton);
    TestClient client(QStringLiteral("device-no"));
    QMessageBox* box = promptFor(client);
    QVERIFY(box);
    QSignalSpy gone(box, &QObject::destroyed);
    if (closeButton)
        box->close();
    else
        QTest::mouseClick(button(box, QStringLiteral("Deny")), Qt::LeftButton);
    QVERIFY(client.waitForDisconnected());
    QVERIFY(!server->isAuthorized(client.deviceId));
    QVERIFY(deleted(gone));
}

void TestUI::promptLeavesWithItsClient()
{
    TestClient client(QStringLiteral("device-gone"));
    QMessageBox* box = promptFor(client);
    QVERIFY(box);
    QSignalSpy gone(box, &QObject::destroyed);
    client.socket.close();
    QVERIFY(gone.wait());
    QVERIFY(!openPrompt());

    // The server is free for the next device.
    TestClient next(QStringLiteral("device-next"));
    QVERIFY(promptFor(next));
    openPrompt()->close();
    QVERIFY(next.waitForDisconnected());
}

void TestUI::networkTextShownPlainly_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");
    const QString markup = QStringLiteral("<h1>Your bank</h1>");
    QTest::newRow("markup") << markup << markup;
    QTest::newRow("64 characters") << QString(64, 'n') << QString(64, 'n');
    QTest::newRow("65 characters") << QString(65, 'n') << QString(63, 'n') + QChar(0x2026);
}

void TestUI::networkTextShownPlainly()
{
    QFETCH(QString, name);
    QFETCH(QString, shown);
    const QString address = QStringLiteral("<a href='https://example.org'>10.0.0.7</a><img src='x'>");
    auto* connection = new QObject;
    ui->showAuthDialog(connection, QStringLiteral("device-m"), name, address);
    QMessageBox* box = openPrompt();
    QVERIFY(box);
    QCOMPARE(box->text(), shown + QStringLiteral(" would like to connect."));
    QCOMPARE(box->informativeText(), address);
    const QList<QLabel*> labels = box->findChildren<QLabel*>();
    for (QLabel* label : labels)
        if (!label->text().isEmpty())
            QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->text()));

    QSignalSpy gone(box, &QObject::destroyed);
    delete connection;
    QVERIFY(deleted(gone));
}

QTEST_MAIN(TestUI)
#include "testui.moc"

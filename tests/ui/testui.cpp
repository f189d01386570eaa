#include "http/webservice.h"
#include "server/core.h"
#include "server/protocol.h"
#include "tests/support/testclient.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testplatform.h"
#include "ui/icons.h"
#include "ui/ui.h"
#include "updater/updater.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QtTest>

namespace {
class IdleUpdater : public Updater
{
public:
    void update() override {}
};

bool showsTray(const QSystemTrayIcon* tray, const char* name)
{
    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    const auto format = QImage::Format_ARGB32_Premultiplied;
    return tray->icon().pixmap(QSize(20, 16)).toImage().convertToFormat(format) ==
           QImage(iconPath(name, 16, window)).convertToFormat(format);
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

void click(QMessageBox* box, const QString& text)
{
    for (QAbstractButton* button : box->buttons())
        if (button->text() == text)
            QTest::mouseClick(button, Qt::LeftButton);
}

// The prompt deletes itself later; a test function runs outside the event loop that would do it.
bool deleted(QSignalSpy& gone)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return !gone.isEmpty() || gone.wait();
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

    // A device knocks; its prompt, or null when none came.
    QMessageBox* promptFor(TestClient& client)
    {
        if (!client.open(server->port()) || client.nextJson().value(Key::Method).toString() != Method::Wait)
            return nullptr;
        return openPrompt();
    }

private slots:
    void initTestCase()
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

    void cleanupTestCase() { delete ui; }

    void menuInOrder()
    {
        const QList<QAction*> actions = tray->contextMenu()->actions();
        QStringList texts;
        for (QAction* action : actions)
            texts << (action->isSeparator() ? QStringLiteral("--") : action->text());
        QCOMPARE(texts,
                 (QStringList{"No clients connected", "--", "Preferences...", "About Pavo Server", "--", "Quit"}));
        QVERIFY(!actions.first()->isEnabled());
    }

    // "tray" while nobody is connected, "tray-color" from the first client on, untouched by the second.
    void countChangesTextAndIcon()
    {
        QVERIFY(showsTray(tray, "tray"));
        qint64 shown = tray->icon().cacheKey();
        const QList<QPair<int, const char*>> steps = {{1, "tray-color"}, {2, nullptr}, {1, "tray-color"}, {0, "tray"}};
        for (const auto& [count, name] : steps) {
            ui->onClientCountChanged(count);
            QCOMPARE(countText(), count ? QStringLiteral("%1 client(s) connected").arg(count) : "No clients connected");
            QVERIFY(name ? showsTray(tray, name) : tray->icon().cacheKey() == shown);
            shown = tray->icon().cacheKey();
        }
    }

    void authorizeAdmits()
    {
        TestClient client(QStringLiteral("device-yes"));
        QMessageBox* box = promptFor(client);
        QVERIFY(box);
        click(box, QStringLiteral("Authorize"));
        QVERIFY(!client.nextJson().value(Key::Secret).toString().isEmpty());
        QVERIFY(client.nextJson().value(Key::Value).toBool());
        QVERIFY(server->isAuthorized(client.deviceId));
        // The server's count reaches the tray.
        QCOMPARE(countText(), QStringLiteral("1 client(s) connected"));
        QVERIFY(showsTray(tray, "tray-color"));

        QSignalSpy count(server, &Server::clientCountChanged);
        client.socket.close();
        QVERIFY(count.wait());
        QCOMPARE(countText(), QStringLiteral("No clients connected"));
    }

    // "Deny", the close button and the client leaving all end the prompt without admitting anyone.
    void otherEndingsRefuse()
    {
        for (const QByteArray ending : {"Deny", "close", "leave"}) {
            TestClient client(QStringLiteral("device-no"));
            QMessageBox* box = promptFor(client);
            QVERIFY(box);
            QSignalSpy gone(box, &QObject::destroyed);
            if (ending == "Deny")
                click(box, QStringLiteral("Deny"));
            else if (ending == "close")
                box->close();
            else
                client.socket.close();
            QVERIFY2(client.waitForDisconnected() && deleted(gone), ending);
            QVERIFY(!server->isAuthorized(client.deviceId));
            QVERIFY(!openPrompt());
        }
    }

    // No label of the prompt may read markup from the network; a long name is cut to 64 characters.
    void networkTextShownPlainly()
    {
        const QString markup = QStringLiteral("<h1>Your bank</h1>");
        const QString address = QStringLiteral("<a href='https://example.org'>10.0.0.7</a><img src='x'>");
        const QList<QPair<QString, QString>> names = {{markup, markup},
                                                      {QString(64, 'n'), QString(64, 'n')},
                                                      {QString(65, 'n'), QString(63, 'n') + QChar(0x2026)}};
        for (const auto& [name, shown] : names) {
            auto* connection = new QObject;
            ui->showAuthDialog(connection, QStringLiteral("device-m"), name, address);
            QMessageBox* box = openPrompt();
            QVERIFY(box);
            QCOMPARE(box->text(), shown + QStringLiteral(" would like to connect."));
            QCOMPARE(box->informativeText(), address);
            const QList<QLabel*> labels = box->findChildren<QLabel*>();
            for (QLabel* label : labels)
                QVERIFY2(label->text().isEmpty() || label->textFormat() == Qt::PlainText, qPrintable(label->text()));
            QSignalSpy gone(box, &QObject::destroyed);
            delete connection;
            QVERIFY(deleted(gone));
        }
    }
};

QTEST_MAIN(TestUI)
#include "testui.moc"

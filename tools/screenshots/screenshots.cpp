// pavo-screenshots FOLDER: the tray menu, the pairing prompt and the four dialogs as PNG files,
// each window as the X server shows it, on a scripted desktop. tools/take-screenshots.sh runs it
// on a virtual display.
#include "http/webservice.h"
#include "server/core.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testplatform.h"
#include "ui/ui.h"
#include "updater/defaultupdater.h"
#include "updater/updatersetup.h"

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QtTest>

namespace {
QString folder;

void shoot(QWidget* window, const QString& name)
{
    if (!window || !QTest::qWaitForWindowExposed(window)) {
        qWarning("No window for %s", qPrintable(name));
        return;
    }
    QTest::qWait(200); // let the window paint once more after it was mapped
    window->screen()->grabWindow(window->winId()).save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

template <typename Window> Window* shownWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<Window*>(widget); window && window->isVisible())
            return window;
    return nullptr;
}

void pairTwoDevicesBefore()
{
    QSettings settings;
    settings.setValue(QStringLiteral("au/phone"), QStringLiteral("0123456789abcdef0123456789abcdef"));
    settings.setValue(QStringLiteral("au/tablet"), QStringLiteral("fedcba9876543210fedcba9876543210"));
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 2)
        qFatal("usage: pavo-screenshots FOLDER");
    folder = QString::fromLocal8Bit(argv[1]);
    TestEnvironment environment;
    QApplication::setQuitOnLastWindowClosed(false);
    pairTwoDevicesBefore();
    setWebServiceBaseUrl("http://127.0.0.1:1");
    Core::setPlatformFactory([](QObject* parent) { return new TestPlatform(parent); });
    setUpUpdater();
    static_cast<updater::DefaultUpdater*>(Updater::instance())->setFeedUrl(QUrl(QStringLiteral("http://127.0.0.1:1/")));

    UI ui;
    // Without them every later step would use a window that is not there.
    if (!QTest::qWaitFor([] { return Core::instance()->server() != nullptr; }))
        qFatal("The core did not become ready");
    if (!QTest::qWaitFor([] { return shownWindow<QDialog>() != nullptr; }))
        qFatal("The welcome did not open");
    shoot(shownWindow<QDialog>(), QStringLiteral("welcome"));
    shownWindow<QDialog>()->close();

    QObject device;
    ui.showAuthDialog(&device, QStringLiteral("phone-3"), QStringLiteral("Anna's phone"),
                      QStringLiteral("192.168.1.23"), QStringLiteral("482915"));
    shoot(shownWindow<QMessageBox>(), QStringLiteral("prompt"));
    shownWindow<QMessageBox>()->close();

    QMenu* menu = ui.findChild<QSystemTrayIcon*>()->contextMenu();
    menu->popup(QPoint(40, 40));
    shoot(menu, QStringLiteral("tray-menu"));
    menu->hide();

    ui.showConnectPhone();
    shoot(shownWindow<QDialog>(), QStringLiteral("connect-phone"));
    shownWindow<QDialog>()->close();

    ui.showPreferences();
    shoot(shownWindow<QDialog>(), QStringLiteral("preferences"));
    shownWindow<QDialog>()->close();

    ui.showAboutBox();
    shoot(shownWindow<QDialog>(), QStringLiteral("about"));
    return 0;
}

#include "ui/ui.h"

#include "platform/platform.h"
#include "server/core.h"
#include "server/server.h"
#include "ui/aboutbox.h"
#include "ui/connectphonedialog.h"
#include "ui/icons.h"
#include "ui/preferences.h"
#include "ui/shorttext.h"
#include "ui/welcomeview.h"
#include "updater/updater.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>

namespace {
// Name, address and id come from the network: shown as markup they could restyle the very question
// the user must judge. QMessageBox offers no format for its informative text, so its label is
// reached directly.
void showPlainly(QMessageBox* box)
{
    box->setTextFormat(Qt::PlainText);
    if (auto* informative = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);
}

// Large enough to compare at a glance with the code on the device.
void showLarge(QLabel* label)
{
    if (!label)
        return;
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 2.5);
    font.setBold(true);
    label->setFont(font);
}

// Each dialog closes for good: the next request makes a new one.
template <typename Dialog> void showOnce(QPointer<Dialog>& dialog)
{
    if (!dialog)
        dialog = new Dialog;
    dialog->show();
    dialog->raise();
}
} // namespace

UI::UI(QObject* parent) : QObject(parent)
{
    buildMenu();
    trayIcon = new QSystemTrayIcon(icon("tray"), this);
    trayIcon->setContextMenu(&menu);
    trayIcon->setVisible(true);
    // Nobody is connected before the server exists; from then on the core keeps the flag in step.
    if (Updater* updater = Updater::instance())
        updater->setImmediateInstallAndRelaunch(true);

    Core* core = Core::instance();
    connect(core, &Core::ready, this, &UI::onCoreReady);
    core->start();
}

UI::~UI()
{
    // The icon lets go of its menu before the menu goes.
    delete trayIcon;
}

void UI::buildMenu()
{
    countAction = new QAction(this);
    countAction->setEnabled(false);
    onClientCountChanged(0);
    menu.addAction(countAction);
    menu.addSeparator();
    connect(menu.addAction(tr("Connect a Phone...")), &QAction::triggered, this, &UI::showConnectPhone);
    if (Updater* updater = Updater::instance())
        menu.addAction(updater->getAction());
    connect(menu.addAction(tr("Preferences...")), &QAction::triggered, this, &UI::showPreferences);
    connect(menu.addAction(tr("About %1").arg(QStringLiteral("Pavo Server"))), &QAction::triggered, this,
            &UI::showAboutBox);
    menu.addSeparator();
    connect(menu.addAction(tr("Quit")), &QAction::triggered, QCoreApplication::instance(), &QCoreApplication::quit);
}

void UI::onCoreReady()
{
    Server* server = Core::instance()->server();
    connect(server, &Server::clientCountChanged, this, &UI::onClientCountChanged);
    connect(server, &Server::needUserAuthorization, this, &UI::showAuthDialog);
    // Not greeting again is only allowed while the desktop integration works.
    Platform* platform = Core::instance()->platform();
    if (!WelcomeView::dismissed() || !platform->isAvailable())
        showWelcome();
    connect(platform, &Platform::needPermissions, this, &UI::showWelcome);
    if (Updater* updater = Updater::instance())
        updater->checkAndMaybeShowUI();
}

void UI::showPreferences()
{
    showOnce(preferences);
}

void UI::showAboutBox()
{
    showOnce(aboutBox);
    if (Updater* updater = Updater::instance())
        updater->checkAndMaybeShowUI();
}

void UI::showWelcome()
{
    showOnce(welcome);
}

void UI::showConnectPhone()
{
    showOnce(connectPhone);
}

void UI::onClientCountChanged(int count)
{
    countAction->setText(count == 0 ? tr("No clients connected") : tr("%n client(s) connected", "", count));
    if (!trayIcon)
        return;
    if (count == 0)
        trayIcon->setIcon(icon("tray"));
    else if (count == 1)
        trayIcon->setIcon(icon("tray-color"));
}

void UI::showAuthDialog(QObject* obj, QString id, QString name, QString ip, QString code)
{
    auto* box = new QMessageBox;
    box->setAttribute(Qt::WA_DeleteOnClose);
    // How tools on a virtual display tell the prompt from the program's other windows.
    box->setWindowRole(QStringLiteral("pairing-prompt"));
    box->setIconPixmap(hidpiPixmap(QStringLiteral(":/images/64/app.png"), box->devicePixelRatioF()));
    QStringList lines(tr("%1 would like to connect.").arg(shortText(name)));
    if (!ip.isEmpty())
        lines.append(ip);
    // The id tells a device that was paired before from a stranger borrowing its name.
    lines.append(tr("Device ID: %1").arg(shortText(id)));
    if (code.isEmpty()) {
        box->setText(lines.takeFirst());
        box->setInformativeText(lines.join(QLatin1Char('\n')));
    } else {
        lines.append(QString());
        lines.append(tr("Authorize only if the device shows the same code:"));
        box->setText(lines.join(QLatin1Char('\n')));
        box->setInformativeText(code);
    }
    showPlainly(box);
    if (!code.isEmpty())
        showLarge(box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")));
    // Only a deliberate choice admits a device: a stray Return or Escape refuses.
    QPushButton* deny = box->addButton(tr("Deny"), QMessageBox::RejectRole);
    QPushButton* authorize = box->addButton(tr("Authorize"), QMessageBox::AcceptRole);
    box->setDefaultButton(deny);
    box->setEscapeButton(deny);

    Server* server = Core::instance()->server();
    // Any way of closing the box other than "Authorize" refuses the device.
    connect(box, &QDialog::finished, this, [server, box, authorize, id] {
        server->authorize(id, box->clickedButton() == authorize);
        box->deleteLater();
    });
    connect(obj, &QObject::destroyed, box, &QWidget::close);
    box->open();
    box->raise();
    QApplication::beep();
}

#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>

class AboutBox;
class ConnectPhoneDialog;
class Preferences;
class QAction;
class QSystemTrayIcon;
class WelcomeView;

// The program's whole presence on the desktop: the tray icon with its menu, the prompt that asks
// the user whether a new device may connect, and the dialogs, each open at most once.
class UI : public QObject
{
    Q_OBJECT
public:
    explicit UI(QObject* parent = nullptr);
    ~UI() override;

public slots:
    void showPreferences();
    void showAboutBox();
    // A protocol 2 device brings a code that both screens show; an older device none.
    void showAuthDialog(QObject* obj, QString id, QString name, QString ip, QString code = QString());
    void onClientCountChanged(int count);
    void showWelcome();
    void showConnectPhone();

private:
    void buildMenu();
    void onCoreReady();

    QMenu menu;
    QAction* countAction = nullptr;
    QSystemTrayIcon* trayIcon = nullptr;
    QPointer<Preferences> preferences;
    QPointer<AboutBox> aboutBox;
    QPointer<WelcomeView> welcome;
    QPointer<ConnectPhoneDialog> connectPhone;
};

#pragma once

#include <QMenu>
#include <QObject>

class QAction;
class QSystemTrayIcon;

// The program's whole presence on the desktop: the tray icon with its menu, and the prompt that
// asks the user whether a new device may connect.
class UI : public QObject
{
    Q_OBJECT
public:
    explicit UI(QObject* parent = nullptr);
    ~UI() override;

public slots:
    void showAuthDialog(QObject* obj, QString id, QString name, QString ip);
    void onClientCountChanged(int count);

private:
    void buildMenu();
    void onCoreReady();

    QMenu menu;
    QAction* countAction = nullptr;
    QSystemTrayIcon* trayIcon = nullptr;
};

#pragma once

#include <QDialog>

#include <functional>

class QVBoxLayout;
class Server;

// The core's two switches, and the paired devices: each can be forgotten, or all at once.
class Preferences : public QDialog
{
    Q_OBJECT
public:
    explicit Preferences(QWidget* parent = nullptr);

private:
    void addSwitches(QVBoxLayout* column);
    void addDevices(QVBoxLayout* column);
    QWidget* deviceRow(Server* server, const QString& id, const std::function<void()>& forgotten);
    static QString countText(int count);
};

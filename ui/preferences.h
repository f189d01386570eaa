#pragma once

#include <QDialog>

class QVBoxLayout;

// The core's two switches, and a way to forget every paired device at once.
class Preferences : public QDialog
{
    Q_OBJECT
public:
    explicit Preferences(QWidget* parent = nullptr);

private:
    void addSwitches(QVBoxLayout* column);
    void addDevices(QVBoxLayout* column);
};

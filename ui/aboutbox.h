#pragma once

#include <QDialog>

class QVBoxLayout;

// Who made the program and whether it is up to date; the updater's label and button live here
// while the box is open.
class AboutBox : public QDialog
{
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);

private:
    void addUpdater(QVBoxLayout* layout);
};

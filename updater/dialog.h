#pragma once

#include "updater/updater.h"

#include <QDialog>

class QStackedLayout;

namespace updater {

class DefaultUpdater;

// Offers an update and then shows its download; the page follows the updater's status for as long
// as the dialog is open.
class Dialog : public QDialog
{
    Q_OBJECT
public:
    Dialog(DefaultUpdater* updater, QWidget* parent = nullptr);

private:
    void showStatus(Updater::Status status);
    void setPage(QWidget* page);
    QWidget* availablePage();
    QWidget* downloadPage();

    DefaultUpdater* const updater;
    QStackedLayout* const pages;
    QWidget* download = nullptr;
};

} // namespace updater

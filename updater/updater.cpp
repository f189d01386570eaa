#include "updater/updater.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>

namespace {
Updater* processUpdater = nullptr;
}

Updater* Updater::instance()
{
    return processUpdater;
}

void Updater::setInstance(Updater* updater)
{
    processUpdater = updater;
}

Updater::Updater(QObject* parent)
    : QObject(parent), displayName_(QGuiApplication::applicationDisplayName()), icon_(QGuiApplication::windowIcon())
{
    // Receivers on other threads and signal spies need the status type by name.
    qRegisterMetaType<Updater::Status>();
    connect(this, &Updater::statusChanged, this, &Updater::showStatus);
}

QAction* Updater::getAction()
{
    if (!action) {
        action = new QAction(this);
        action->setMenuRole(QAction::ApplicationSpecificRole);
        connect(action, &QAction::triggered, this, &Updater::onUserAction);
        showStatus();
    }
    return action;
}

QPushButton* Updater::getButton()
{
    if (!button) {
        button = new QPushButton;
        connect(button, &QPushButton::clicked, this, &Updater::onUserAction);
        showStatus();
    }
    return button;
}

QLabel* Updater::getLabel()
{
    if (!label) {
        label = new QLabel;
        label->setTextFormat(Qt::PlainText);
        showStatus();
    }
    return label;
}

void Updater::setStatus(Status status)
{
    if (status == status_)
        return;
    status_ = status;
    emit statusChanged(status);
}

void Updater::onUserAction()
{
    // The downloaded update is installed on the way out.
    if (status_ == UpdateDownloaded)
        QCoreApplication::quit();
    else
        checkAndShowUI();
}

void Updater::showStatus()
{
    const QString version = displayVersion();
    QString actionText, buttonText, labelText;
    switch (status_) {
    case Unknown:
    case UpToDate:
        actionText = tr("Check for Updates...");
        buttonText = tr("Check for Updates");
        labelText = status_ == Unknown ? tr("Didn't check for updates.") : tr("You have the latest version.");
        break;
    case UpdateAvailable:
        actionText = tr("Version %1 is available...").arg(version);
        buttonText = tr("Download Update");
        labelText = tr("Version %1 is available.").arg(version);
        break;
    case DownloadingUpdate:
        actionText = tr("Downloading version %1...").arg(version);
        buttonText = tr("Downloading update...");
        labelText = tr("Downloading update...");
        break;
    case UpdateDownloaded:
        actionText = tr("Restart to Update");
        buttonText = tr("Restart to Update");
        labelText = tr("An update has been downloaded and is ready to be installed.");
        break;
    case UpdateDownloadFailed:
        actionText = tr("Version %1 download failed").arg(version);
        buttonText = tr("Retry Update Download");
        labelText = tr("Version %1 download failed.").arg(version);
        break;
    }
    if (action)
        action->setText(actionText);
    if (button) {
        button->setText(buttonText);
        // Shown without a parent it would become a window of its own.
        const bool hide = status_ == DownloadingUpdate;
        if (hide || button->parentWidget())
            button->setVisible(!hide);
    }
    if (label)
        label->setText(labelText);
}

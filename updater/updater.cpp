#include "updater/updater.h"

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

Updater::Updater(QObject* parent) : QObject(parent)
{
    // Receivers on other threads and signal spies need the status type by name.
    qRegisterMetaType<Updater::Status>();
}

void Updater::setStatus(Status status)
{
    if (status == status_)
        return;
    status_ = status;
    emit statusChanged(status);
}

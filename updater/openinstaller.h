#pragma once

#include "updater/installer.h"

namespace updater {

// Hands the file to the desktop, which opens it with whatever handles its type.
class OpenInstaller : public Installer
{
    Q_OBJECT
public:
    explicit OpenInstaller(QObject* parent = nullptr);
    void start(const QString& filename) override;
    // The desktop opens it in its own time.
    bool doneWithFile() const override { return false; }
};

} // namespace updater

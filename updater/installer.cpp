#include "updater/installer.h"

namespace updater {

Installer::Installer(QObject* parent) : QObject(parent) {}

} // namespace updater

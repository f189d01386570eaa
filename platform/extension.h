#pragma once

#include <QString>

class QObject;

namespace updater {
class DefaultUpdater;
}

// The GNOME Shell extension the platform works through, as installed for this user.

// Its id; the scripts in the scripts directory use the same one.
extern const QString ExtensionUuid;
// The "version" of its metadata.json where the shell finds it (the user's data folder, then the
// system's) as decimal text; "0" when it is not installed.
QString installedExtensionVersion();
// Keeps the extension installed and current: downloads what its feed offers and installs it at once
// with the scripts directory's install-extension.sh.
updater::DefaultUpdater* createExtensionUpdater(const QString& scriptsDirectory, QObject* parent);

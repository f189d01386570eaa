#pragma once

class QSettings;

// Writes the settings to disk and leaves the file readable and writable by its owner only:
// it holds the pairing secrets of every paired device.
void syncPrivately(QSettings& settings);

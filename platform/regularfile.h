#pragma once

#include <QFile>
#include <QString>

#include <memory>

// Opens path for reading only when it is a regular file (links followed), never waiting on it:
// a pipe or a device named by a client would hold the event loop for as long as nobody writes to
// it, and opening some devices alone has effects. Null for anything else.
std::unique_ptr<QFile> openRegularFile(const QString& path);

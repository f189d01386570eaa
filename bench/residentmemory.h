#pragma once

#include <QString>

// Resident memory of a process in KiB, as the kernel reports it ("self" for this one); 0 when
// the process is gone.
qint64 residentKiB(const QString& process = QStringLiteral("self"));

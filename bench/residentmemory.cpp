#include "bench/residentmemory.h"

#include <QFile>

qint64 residentKiB(const QString& process)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(process));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

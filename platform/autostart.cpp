#include "platform/autostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QtDebug>

#include <algorithm>

namespace {
// The session splits Exec at spaces and gives other characters meaning too: a path holding any of
// them is quoted, or the program would never start. Inside the quotes four characters need a
// backslash, and every backslash is doubled again by the key's own escaping.
QString execValue(const QString& program)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    if (std::none_of(program.begin(), program.end(), [](QChar c) { return reserved.contains(c); }))
        return program;
    QString quoted;
    for (const QChar c : program) {
        if (QStringLiteral("\"`$\\").contains(c))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
} // namespace

void setAutostartEntry(bool enabled)
{
    const QString directory = QStandardPaths::writableLocation(QStandardPaths::ConfigLocation) + "/autostart";
    QDir().mkpath(directory);
    QFile entry(directory + QStringLiteral("/pavo-server.desktop"));
    if (!enabled) {
        entry.remove();
        return;
    }
    if (!entry.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qWarning() << "Cannot write" << entry.fileName();
        return;
    }
    entry.write("[Desktop Entry]\nType=Application\nName=Pavo Server\nExec=" +
                execValue(QCoreApplication::applicationFilePath()).toUtf8() + '\n');
}

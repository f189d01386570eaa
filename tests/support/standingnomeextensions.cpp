#include "tests/support/standingnomeextensions.h"

#include <QDir>
#include <QFile>

StandInGnomeExtensions::StandInGnomeExtensions(const QString& home)
    : log(home + QStringLiteral("/gnome-extensions.log"))
{
    const QString bin = home + QStringLiteral("/bin");
    QDir().mkpath(bin);
    QFile command(bin + QStringLiteral("/gnome-extensions"));
    if (!command.open(QIODevice::WriteOnly))
        qFatal("Cannot write %s", qPrintable(command.fileName()));
    command.write("#!/bin/bash\necho \"$*\" >> '" + log.toUtf8() +
                  "'\n[ -z \"$GNOME_EXTENSIONS_FAIL\" ] || { echo \"$GNOME_EXTENSIONS_FAIL\" >&2; exit 2; }\n");
    command.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    qputenv("PATH", bin.toUtf8() + ':' + qgetenv("PATH"));
}

QStringList StandInGnomeExtensions::commands() const
{
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void StandInGnomeExtensions::clear()
{
    QFile::remove(log);
}

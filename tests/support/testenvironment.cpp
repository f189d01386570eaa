#include "tests/support/testenvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>

TestEnvironment::TestEnvironment()
{
    const QString root = dir.path();
    for (const char* sub : {"config", "data", "cache", "runtime"})
        QDir(root).mkpath(QString::fromLatin1(sub));
    // The runtime folder is the user's alone, or Qt complains on every start.
    QFile::setPermissions(root + QStringLiteral("/runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("HOME", root.toUtf8());
    qputenv("XDG_CONFIG_HOME", (root + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_DATA_HOME", (root + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CACHE_HOME", (root + QStringLiteral("/cache")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", (root + QStringLiteral("/runtime")).toUtf8());
    QCoreApplication::setOrganizationName(QStringLiteral("Corvin Osmunda"));
    QCoreApplication::setApplicationName(QStringLiteral("Pavo Server"));
    qSetMessagePattern(QStringLiteral("[%{function}] %{message}"));
}

QString TestEnvironment::settingsFile() const
{
    return QSettings().fileName();
}

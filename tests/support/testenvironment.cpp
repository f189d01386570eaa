#include "tests/support/testenvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QIcon>
#include <QImage>
#include <QSettings>

namespace {
void failToWrite(const QString& path)
{
    qFatal("Cannot write %s", qPrintable(path));
}
} // namespace

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

void TestEnvironment::useIconTheme(const QMap<QString, QColor>& icons) const
{
    writeFile(QStringLiteral("icons/test/index.theme"),
              "[Icon Theme]\nName=test\nDirectories=8\n[8]\nSize=8\nType=Scalable\n");
    for (auto it = icons.begin(); it != icons.end(); ++it)
        saveImage(QStringLiteral("icons/test/8/") + it.key() + QStringLiteral(".png"), it.value());
    QIcon::setThemeSearchPaths({home() + QStringLiteral("/icons")});
    QIcon::setThemeName(QStringLiteral("test"));
}

QString TestEnvironment::writeFile(const QString& path, const QByteArray& content, QFile::Permissions permissions) const
{
    QFile file(QDir(home()).filePath(path));
    QDir().mkpath(QFileInfo(file).path());
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() ||
        (permissions && !file.setPermissions(permissions)))
        failToWrite(file.fileName());
    return file.fileName();
}

QString TestEnvironment::saveImage(const QString& path, const QColor& colour, QSize size) const
{
    const QString file = QDir(home()).filePath(path);
    QDir().mkpath(QFileInfo(file).path());
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    if (!image.save(file, "PNG"))
        failToWrite(file);
    return file;
}

QByteArray fileContent(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

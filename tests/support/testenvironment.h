#pragma once

#include <QColor>
#include <QFile>
#include <QMap>
#include <QSize>
#include <QTemporaryDir>

// Points HOME and the XDG folders at a fresh temporary folder and sets the program's identity,
// so that settings written by a suite never touch the real user's files. Hold one as a member of
// the test object: it is constructed before any test function runs.
class TestEnvironment
{
public:
    TestEnvironment();
    QString home() const { return dir.path(); }
    // The settings file the program writes to under this HOME.
    QString settingsFile() const;
    // Makes a theme under HOME the only one icons come from: an 8-pixel image in the given colour
    // for each name.
    void useIconTheme(const QMap<QString, QColor>& icons) const;

    // Files under HOME, or elsewhere for an absolute path; each returns the file's full path and
    // stops the program when it cannot write.
    QString writeFile(const QString& path, const QByteArray& content, QFile::Permissions permissions = {}) const;
    QString saveImage(const QString& path, const QColor& colour, QSize size = QSize(8, 8)) const;

private:
    QTemporaryDir dir;
};

// The file's content; empty when it cannot be read.
QByteArray fileContent(const QString& path);

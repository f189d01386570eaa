#pragma once

#include <QIcon>
#include <QString>

// Finds the icon the shell extension names for an application: an image file, a theme icon, an
// image in the pixmaps folder, or the theme icon named after the application id.
class GNOMEIconLookup
{
public:
    explicit GNOMEIconLookup(const QString& pixmapsDirectory = QStringLiteral("/usr/share/pixmaps"));
    // A null icon when nothing matches.
    QIcon find(const QString& icon, const QString& appId) const;

private:
    QString pixmaps;
};

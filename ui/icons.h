#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

// Named icons come from the desktop's theme when it has them, else from the built-in images,
// which exist in a "dark" set for dark window backgrounds and a "light" set for light ones.

// The theme's icon, its "-symbolic" form first; null when the theme has neither.
QIcon iconFromTheme(const QString& name);
// The built-in 16-pixel image for the application palette's window colour; empty when there is none.
QIcon iconFromResources(const char* name);
QIcon icon(const char* name);
// The resource path of a built-in icon drawn for the given background.
QString iconPath(const char* name, int size, const QColor& background);
// The image at path, or its "@2x" file when the screen is dense and the file exists.
QPixmap hidpiPixmap(const QString& path, double ratio);

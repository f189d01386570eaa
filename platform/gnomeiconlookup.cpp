#include "platform/gnomeiconlookup.h"

#include <QFileInfo>

namespace {
// The framework reads an absolute "theme name" as a file, at once and whatever it is.
bool isThemeName(const QString& name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/'));
}
} // namespace

GNOMEIconLookup::GNOMEIconLookup(const QString& pixmapsDirectory) : pixmaps(pixmapsDirectory) {}

QIcon GNOMEIconLookup::find(const QString& icon, const QString& appId) const
{
    // Only an absolute path counts as a file: a bare name must not pick up whatever lies in the
    // program's working directory. Only a regular one: reading a pipe would never end.
    if (QFileInfo(icon).isAbsolute() && QFileInfo(icon).isFile())
        return QIcon(icon);
    if (isThemeName(icon) && QIcon::hasThemeIcon(icon))
        return QIcon::fromTheme(icon);
    if (isThemeName(icon)) {
        for (const char* extension : {"png", "xpm", "svg"}) {
            const QString file = pixmaps + QLatin1Char('/') + icon + QLatin1Char('.') + QLatin1String(extension);
            if (QFileInfo(file).isFile())
                return QIcon(file);
        }
    }
    const QString named = QString(appId).remove(QStringLiteral(".desktop"));
    if (isThemeName(named) && QIcon::hasThemeIcon(named))
        return QIcon::fromTheme(named);
    return {};
}

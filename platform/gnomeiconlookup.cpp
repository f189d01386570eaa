#include "platform/gnomeiconlookup.h"

#include <QFileInfo>

GNOMEIconLookup::GNOMEIconLookup(const QString& pixmapsDirectory) : pixmaps(pixmapsDirectory) {}

QIcon GNOMEIconLookup::find(const QString& icon, const QString& appId) const
{
    // Only an absolute path counts as a file: a bare name must not pick up whatever lies in the
    // program's working directory.
    if (QFileInfo(icon).isAbsolute() && QFileInfo::exists(icon))
        return QIcon(icon);
    if (!icon.isEmpty() && QIcon::hasThemeIcon(icon))
        return QIcon::fromTheme(icon);
    if (!icon.isEmpty() && !icon.contains(QLatin1Char('/'))) {
        for (const char* extension : {"png", "xpm", "svg"}) {
            const QString file = pixmaps + QLatin1Char('/') + icon + QLatin1Char('.') + QLatin1String(extension);
            if (QFileInfo::exists(file))
                return QIcon(file);
        }
    }
    const QString named = QString(appId).remove(QStringLiteral(".desktop"));
    if (!named.isEmpty() && QIcon::hasThemeIcon(named))
        return QIcon::fromTheme(named);
    return {};
}

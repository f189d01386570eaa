#include "ui/icons.h"

#include <QFile>
#include <QGuiApplication>
#include <QPalette>

// A static library's resources reach the program only when something asks for them; this must
// stay outside any namespace.
static void initResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(pavo_ui);
        return true;
    }();
    Q_UNUSED(done)
}

namespace {
const QString Symbolic = QStringLiteral("-symbolic");

bool isDark(const QColor& color)
{
    return color.value() < 129;
}

QString iconSet(const QColor& background)
{
    return isDark(background) ? QStringLiteral(":/icons/dark/") : QStringLiteral(":/icons/light/");
}

void addIfExists(QIcon& icon, const QString& file, QIcon::Mode mode, QIcon::State state = QIcon::Off)
{
    if (QFile::exists(file))
        icon.addFile(file, QSize(), mode, state);
}
} // namespace

QIcon iconFromTheme(const QString& name)
{
    if (!name.endsWith(Symbolic) && QIcon::hasThemeIcon(name + Symbolic))
        return QIcon::fromTheme(name + Symbolic);
    return QIcon::hasThemeIcon(name) ? QIcon::fromTheme(name) : QIcon();
}

QIcon iconFromResources(const char* name)
{
    initResources();
    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    const QString stem = iconSet(window) + QStringLiteral("16/") + QString::fromUtf8(name);
    QIcon icon;
    const QString plain = stem + QStringLiteral(".png");
    if (!QFile::exists(plain))
        return icon;
    icon.addFile(plain, QSize(), QIcon::Normal, QIcon::Off);
    addIfExists(icon, stem + QStringLiteral("_active.png"), QIcon::Active);
    addIfExists(icon, stem + QStringLiteral("_selected.png"), QIcon::Selected);
    addIfExists(icon, stem + QStringLiteral("_disabled.png"), QIcon::Disabled);
    addIfExists(icon, stem + QStringLiteral("_checked.png"), QIcon::Normal, QIcon::On);
    return icon;
}

QIcon icon(const char* name)
{
    const QIcon themed = iconFromTheme(QString::fromUtf8(name));
    return themed.isNull() ? iconFromResources(name) : themed;
}

QString iconPath(const char* name, int size, const QColor& background)
{
    initResources();
    return iconSet(background) + QString::number(size) + QLatin1Char('/') + QString::fromUtf8(name) +
           QStringLiteral(".png");
}

QPixmap hidpiPixmap(const QString& path, double ratio)
{
    initResources();
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    if (ratio > 1.0 && dot >= 0) {
        const QString dense = path.left(dot) + QStringLiteral("@2x") + path.mid(dot);
        if (QFile::exists(dense)) {
            QPixmap pixmap(dense);
            pixmap.setDevicePixelRatio(ratio);
            return pixmap;
        }
    }
    return QPixmap(path);
}

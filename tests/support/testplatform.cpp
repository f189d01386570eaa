#include "tests/support/testplatform.h"

#include "platform/imagepreview.h"

#include <QFileInfo>
#include <QTimer>

TestApp::TestApp(const QString& id, const QString& name, const QIcon& icon) : App(id)
{
    appName = name;
    appIcon = icon;
}

TestApp* TestPlatform::addApp(const QString& id, const QString& name, bool running, const QIcon& icon)
{
    auto* app = new TestApp(id, name, icon);
    addInstalledApp(app);
    if (running) {
        app->setRunning(true);
        this->running.append(app);
    }
    return app;
}

void TestPlatform::setUnsupported(const QStringList& features)
{
    unsupported = features;
    emit unsupportedChanged();
}

void TestPlatform::init()
{
    record(QStringLiteral("init"));
    // A real desktop answers its start-up probe later, never inside init.
    QTimer::singleShot(0, this, &Platform::ready);
}

void TestPlatform::setActive(bool active)
{
    record(QStringLiteral("setActive(%1)").arg(active));
}

void TestPlatform::setAutostart(bool enabled)
{
    record(QStringLiteral("setAutostart(%1)").arg(enabled));
}

QPixmap TestPlatform::filePreview(const QString& path, int width, int height)
{
    record(QStringLiteral("filePreview(%1,%2,%3)").arg(path).arg(width).arg(height));
    const QPixmap preview = scaledImagePreview(path, width);
    return preview.isNull() ? fileIcon(path, width) : preview;
}

QPixmap TestPlatform::fileIcon(const QString& path, int size)
{
    if (!QFileInfo::exists(path))
        return QPixmap();
    QPixmap icon(size, size);
    icon.fill(Qt::darkCyan);
    return icon;
}

QPixmap TestPlatform::fileTypeIcon(const QString& suffix, int size)
{
    record(QStringLiteral("fileTypeIcon(%1,%2)").arg(suffix).arg(size));
    QPixmap icon(size, size);
    icon.fill(Qt::darkYellow);
    return icon;
}

void TestPlatform::openFile(const QString& path, const QString& appId)
{
    record(QStringLiteral("openFile(%1,%2)").arg(path, appId));
}

QVector<App*> TestPlatform::appsForFile(const QString& path)
{
    record(QStringLiteral("appsForFile(%1)").arg(path));
    return fileApps;
}

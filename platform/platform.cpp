#include "platform/platform.h"

#include "platform/app.h"

Platform::Platform(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<App*>("App*");
}

Platform::~Platform()
{
    qDeleteAll(installed);
}

void Platform::setCurrentApp(App* app)
{
    if (current)
        current->setCurrent(false);
    current = app;
    if (current)
        current->setCurrent(true);
    emit currentAppChanged(app);
}

void Platform::clearApps()
{
    // The current application must hear that it lost the focus before it is deleted.
    apps.clear();
    running.clear();
    setCurrentApp(nullptr);
    qDeleteAll(installed);
    installed.clear();
    emit installedAppsChanged();
}

void Platform::addInstalledApp(App* app)
{
    apps.insert(app->id(), app);
    installed.append(app);
}

#include "platform/gnomeapp.h"

#include "extensioninterface.h"
#include "platform/extensioncall.h"
#include "platform/gnomeplatform.h"

GNOMEApp::GNOMEApp(const QString& id, GNOMEPlatform* platform, const QString& name, const QIcon& icon)
    : App(id), platform(platform)
{
    appName = name;
    appIcon = icon;
}

void GNOMEApp::command(const QString& name)
{
    sendAction(this, platform->extension()->appCommand(id(), name));
}

void GNOMEApp::performShortcut(const QString& keys)
{
    // A trailing comma means the comma key itself, not an empty combination after a separator.
    if (keys.endsWith(QLatin1Char(','))) {
        sendAction(this, platform->extension()->performShortcut(keys));
        return;
    }
    for (const QString& combination : keys.split(QLatin1Char(',')))
        sendAction(this, platform->extension()->performShortcut(combination));
}

const QList<MenuItem>& GNOMEApp::menu()
{
    static const QList<MenuItem> none;
    return none;
}

void GNOMEApp::setFocusedElementValue(const QString& value)
{
    sendAction(this, platform->extension()->setFocusedElementValue(value));
}

void GNOMEApp::performFocusedElement()
{
    sendAction(this, platform->extension()->performFocusedElement(id()));
}

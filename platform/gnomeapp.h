#pragma once

#include "platform/app.h"

class GNOMEPlatform;

// An application of the GNOME desktop: every operation is one call to the shell extension,
// addressed by the application id; the effects come back through the platform.
class GNOMEApp : public App
{
    Q_OBJECT
public:
    GNOMEApp(const QString& id, GNOMEPlatform* platform, const QString& name, const QIcon& icon);

    void activate() override { command(QStringLiteral("activate")); }
    void quit() override { command(QStringLiteral("quit")); }
    void close() override { command(QStringLiteral("close")); }
    void toggleMinimize() override { command(QStringLiteral("toggleMinimize")); }
    void toggleMaximize() override { command(QStringLiteral("toggleMaximize")); }
    void toggleFullscreen() override { command(QStringLiteral("toggleFullscreen")); }
    void scroll(int, int) override {}
    void performShortcut(const QString& keys) override;
    const QList<MenuItem>& menu() override;
    void performMenuItem(const QString&) override {}
    void setFocusedElementValue(const QString& value) override;
    void performFocusedElement() override;

private:
    void command(const QString& name);

    GNOMEPlatform* const platform;
};

#pragma once

#include <QDBusContext>
#include <QObject>
#include <QStringList>

// The panel's side of the D-Bus tray protocol: a program that finds this watcher on the session
// bus shows its tray icon and menu over D-Bus instead of on an X11 tray, where a test can reach
// them.
class StatusNotifierWatcher : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)

public:
    bool registerOn(const QDBusConnection& bus);

    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    // Bus names of the programs whose items registered.
    QStringList registeredItems() const { return items; }

    // Clicks the entry of the item's menu whose label is the given text.
    bool clickMenuEntry(const QString& owner, const QString& label) const;
    // The labels of the item's menu entries, depth first; separators have none.
    QStringList menuLabels(const QString& owner) const;

public slots:
    void RegisterStatusNotifierItem(const QString& service);
    void RegisterStatusNotifierHost(const QString&) {}

signals:
    void StatusNotifierItemRegistered(const QString& service);

private:
    QStringList items;
};

#include "tests/support/statusnotifierwatcher.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDateTime>

namespace {
const QString MenuInterface = QStringLiteral("com.canonical.dbusmenu");

// One entry of a menu layout: (id, properties, children).
struct MenuEntry
{
    int id = 0;
    QVariantMap properties;
    QVariantList children;
};

const QDBusArgument& operator>>(const QDBusArgument& argument, MenuEntry& entry)
{
    argument.beginStructure();
    argument >> entry.id >> entry.properties >> entry.children;
    argument.endStructure();
    return argument;
}

int findEntry(const QDBusArgument& layout, const QString& label)
{
    MenuEntry entry;
    layout >> entry;
    if (entry.properties.value(QStringLiteral("label")).toString() == label)
        return entry.id;
    for (const QVariant& child : entry.children) {
        const int id = findEntry(child.value<QDBusArgument>(), label);
        if (id > 0)
            return id;
    }
    return 0;
}
} // namespace

bool StatusNotifierWatcher::registerOn(const QDBusConnection& bus)
{
    QDBusConnection connection = bus;
    return connection.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                                     QDBusConnection::ExportAllContents) &&
           connection.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
}

void StatusNotifierWatcher::RegisterStatusNotifierItem(const QString& service)
{
    // Items name themselves by a well-known name; their menu lives with the sender either way.
    items.append(message().service());
    emit StatusNotifierItemRegistered(service);
}

bool StatusNotifierWatcher::clickMenuEntry(const QString& owner, const QString& label) const
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    auto call =
        QDBusMessage::createMethodCall(owner, QStringLiteral("/MenuBar"), MenuInterface, QStringLiteral("GetLayout"));
    call << 0 << -1 << QStringList();
    const QDBusMessage layout = bus.call(call);
    if (layout.type() != QDBusMessage::ReplyMessage || layout.arguments().size() < 2)
        return false;
    const int id = findEntry(layout.arguments().at(1).value<QDBusArgument>(), label);
    if (id <= 0)
        return false;
    auto event =
        QDBusMessage::createMethodCall(owner, QStringLiteral("/MenuBar"), MenuInterface, QStringLiteral("Event"));
    event << id << QStringLiteral("clicked") << QVariant::fromValue(QDBusVariant(0))
          << uint(QDateTime::currentSecsSinceEpoch());
    return bus.call(event).type() == QDBusMessage::ReplyMessage;
}

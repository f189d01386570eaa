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

// Visits the entries of a menu layout depth first until the visitor returns true.
template<typename Visitor>
bool walkLayout(const QDBusArgument& layout, Visitor visit)
{
    MenuEntry entry;
    layout >> entry;
    if (visit(entry))
        return true;
    for (const QVariant& child : entry.children) {
        if (walkLayout(child.value<QDBusArgument>(), visit))
            return true;
    }
    return false;
}

// Walks the item's menu as the panel reads it; an item without a menu has nothing to walk.
template<typename Visitor>
void walkMenu(const QString& owner, Visitor visit)
{
    auto call =
        QDBusMessage::createMethodCall(owner, QStringLiteral("/MenuBar"), MenuInterface, QStringLiteral("GetLayout"));
    call << 0 << -1 << QStringList();
    // The program may be asking this very watcher something at the time: keep answering it.
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::BlockWithGui);
    if (reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() >= 2)
        walkLayout(reply.arguments().at(1).value<QDBusArgument>(), visit);
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
    int id = 0;
    walkMenu(owner, [&](const MenuEntry& entry) {
        if (entry.properties.value(QStringLiteral("label")).toString() != label)
            return false;
        id = entry.id;
        return true;
    });
    if (id <= 0)
        return false;
    auto event =
        QDBusMessage::createMethodCall(owner, QStringLiteral("/MenuBar"), MenuInterface, QStringLiteral("Event"));
    event << id << QStringLiteral("clicked") << QVariant::fromValue(QDBusVariant(0))
          << uint(QDateTime::currentSecsSinceEpoch());
    return QDBusConnection::sessionBus().call(event, QDBus::BlockWithGui).type() == QDBusMessage::ReplyMessage;
}

QStringList StatusNotifierWatcher::menuLabels(const QString& owner) const
{
    QStringList labels;
    walkMenu(owner, [&](const MenuEntry& entry) {
        const QString label = entry.properties.value(QStringLiteral("label")).toString();
        if (!label.isEmpty())
            labels.append(label);
        return false;
    });
    return labels;
}

#include "tests/support/standinextension.h"

#include <QDBusError>
#include <QJsonDocument>
#include <QJsonObject>

const QString StandInExtension::Service = QStringLiteral("org.gnome.Shell");
const QString StandInExtension::Path = QStringLiteral("/org/osmunda/Pavo/Extension");

namespace {
// Names of the state that the extension reports under another query name.
QString queryFor(const QString& key)
{
    return key == QLatin1String("focusedElement") ? QStringLiteral("a11y_focused") : key;
}
} // namespace

StandInExtension::StandInExtension(QObject* parent) : QObject(parent)
{
    state = {{QStringLiteral("installedApps"), QJsonArray()},
             {QStringLiteral("runningApps"), QJsonArray()},
             {QStringLiteral("focusedElement"), QJsonArray{QString(), QString(), QString()}},
             {QStringLiteral("version"), QStringLiteral("1")}};
}

bool StandInExtension::registerOn(QDBusConnection connection)
{
    return connection.registerService(Service) &&
           connection.registerObject(Path, this,
                                     QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableSignals);
}

void StandInExtension::unregisterFrom(QDBusConnection connection)
{
    connection.unregisterObject(Path);
    connection.unregisterService(Service);
}

void StandInExtension::apply(const QJsonObject& changes)
{
    for (auto it = changes.begin(); it != changes.end(); ++it)
        change(it.key(), it.value());
}

void StandInExtension::change(const QString& key, const QJsonValue& value)
{
    if (state.value(key) == value)
        return;
    state.insert(key, value);
    emit dataChanged(queryFor(key));
}

void StandInExtension::record(const QString& method, const QStringList& arguments)
{
    const QString call = method + QLatin1Char('(') + arguments.join(QLatin1Char(',')) + QLatin1Char(')');
    calls.append(call);
    emit called(call);
    if (unanswered.contains(method))
        setDelayedReply(true);
}

QJsonValue StandInExtension::query(const QString& key)
{
    record(key);
    return state.value(key);
}

void StandInExtension::set(const QString& method, const QString& key, int value)
{
    record(method, {QString::number(value)});
    change(key, value);
}

QString StandInExtension::json(const QJsonArray& array)
{
    return QString::fromUtf8(QJsonDocument(array).toJson());
}

void StandInExtension::appCommand(const QString& id, const QString& command)
{
    record(QStringLiteral("appCommand"), {id, command});
    if (command == QLatin1String("activate"))
        change(QStringLiteral("currentApp"), id);
}

QString StandInExtension::focusedElement(const QString& id, QString& name, QString& value)
{
    record(QStringLiteral("focusedElement"), {id});
    const QJsonArray element = state.value(QStringLiteral("focusedElement")).toArray();
    name = element.at(1).toString();
    value = element.at(2).toString();
    return element.at(0).toString();
}

QString StandInExtension::invokeString(const QString& methodName)
{
    record(QStringLiteral("invokeString"), {methodName});
    if (methodName != QLatin1String("version")) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("Unknown method ") + methodName);
        return {};
    }
    return state.value(QStringLiteral("version")).toString();
}

QString StandInExtension::runningApps()
{
    QJsonArray running;
    for (const QJsonValue& id : query(QStringLiteral("runningApps")).toArray())
        running.append(QJsonObject{{QStringLiteral("id"), id}});
    return json(running);
}

void StandInExtension::setFocusedElementValue(const QString& text)
{
    record(QStringLiteral("setFocusedElementValue"), {text});
    QJsonArray element = state.value(QStringLiteral("focusedElement")).toArray();
    element.replace(2, text);
    change(QStringLiteral("focusedElement"), element);
}

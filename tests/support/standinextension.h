#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QStringList>

// Plays the GNOME Shell extension on a session bus: the part of its D-Bus contract the platform
// uses, with state that a test (or the stand-in program, from a file) sets, dataChanged on every
// change, and a record of every call it received.
class StandInExtension : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.osmunda.Pavo.Extension")
public:
    static const QString Service;
    static const QString Path;

    explicit StandInExtension(QObject* parent = nullptr);

    // Owns the shell's name and exports the extension's object on the connection.
    bool registerOn(QDBusConnection connection);
    void unregisterFrom(QDBusConnection connection);

    // Sets the state named by each key: "installedApps" (array of {id, name, icon}),
    // "runningApps" (array of ids), "currentApp" (id), "focusedElement" ([role, name, value]),
    // "volumeLevel", "volumeMute", "brightness" (numbers), "screenLocked" (bool),
    // "unsupportedFeatures" (array of names), "version" (text). Every change is announced.
    void apply(const QJsonObject& state);

    // Calls received, as "name(argument,argument)".
    QStringList calls;
    // Methods whose calls get no answer, as from a shell that hangs.
    QStringList unanswered;

signals:
    Q_SCRIPTABLE void dataChanged(const QString& methodName);
    void called(const QString& call);

public slots:
    Q_SCRIPTABLE void appCommand(const QString& id, const QString& command);
    Q_SCRIPTABLE qint16 brightness() { return qint16(query("brightness").toInt()); }
    Q_SCRIPTABLE QString currentApp() { return query("currentApp").toString(); }
    Q_SCRIPTABLE QString focusedElement(const QString& id, QString& name, QString& value);
    Q_SCRIPTABLE QString installedApps() { return json(query("installedApps").toArray()); }
    Q_SCRIPTABLE void invoke(const QString& methodName) { record("invoke", {methodName}); }
    Q_SCRIPTABLE QString invokeString(const QString& methodName);
    Q_SCRIPTABLE void performFocusedElement(const QString& id) { record("performFocusedElement", {id}); }
    Q_SCRIPTABLE void performShortcut(const QString& shortcut) { record("performShortcut", {shortcut}); }
    Q_SCRIPTABLE QString runningApps();
    Q_SCRIPTABLE bool screenLocked() { return query("screenLocked").toBool(); }
    Q_SCRIPTABLE void setBrightness(qint16 percent) { set("setBrightness", "brightness", percent); }
    Q_SCRIPTABLE void setFocusedElementValue(const QString& text);
    Q_SCRIPTABLE void setVolumeLevel(qint16 percent) { set("setVolumeLevel", "volumeLevel", percent); }
    Q_SCRIPTABLE void setVolumeMute(qint16 muted) { set("setVolumeMute", "volumeMute", muted); }
    Q_SCRIPTABLE QStringList unsupportedFeatures() { return query("unsupportedFeatures").toVariant().toStringList(); }
    Q_SCRIPTABLE qint16 volumeLevel() { return qint16(query("volumeLevel").toInt()); }
    Q_SCRIPTABLE qint16 volumeMute() { return qint16(query("volumeMute").toInt()); }

private:
    void record(const QString& method, const QStringList& arguments = {});
    // Records a query of the state of the same name and returns that state.
    QJsonValue query(const QString& key);
    void set(const QString& method, const QString& key, int value);
    void change(const QString& query, const QJsonValue& value);
    static QString json(const QJsonArray& array);

    QJsonObject state;
};

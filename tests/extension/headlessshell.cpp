#include "tests/extension/headlessshell.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QSignalSpy>

const QString HeadlessShell::WaylandDisplay = "wayland-pavo-test";

namespace {
const QString ShellService = "org.gnome.Shell";
const QString ShellPath = "/org/gnome/Shell";
const QString ExtensionsInterface = "org.gnome.Shell.Extensions";
const QString ReadyName = "org.osmunda.PavoTest.ShellReady";

QString home()
{
    return QDir::homePath();
}

bool copyFolder(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QString& name : QDir(from).entryList(QDir::Files)) {
        if (!QFile::copy(from + '/' + name, to + '/' + name))
            return false;
    }
    return true;
}

// The keyfile settings backend reads this file at start: no dconf service needed.
bool writeShellSettings(const QStringList& uuids)
{
    const QString folder = qEnvironmentVariable("XDG_CONFIG_HOME") + "/glib-2.0/settings";
    QDir().mkpath(folder);
    QFile file(folder + "/keyfile");
    return file.open(QIODevice::WriteOnly) &&
           file.write("[org/gnome/shell]\ndisable-user-extensions=false\nenabled-extensions=['" +
                      uuids.join("', '").toUtf8() + "']\n") > 0;
}

bool installHelper(QStringList* uuids)
{
    const QString uuid = QDir(HELPER_DIR).dirName();
    uuids->append(uuid);
    return copyFolder(HELPER_DIR, qEnvironmentVariable("XDG_DATA_HOME") + "/gnome-shell/extensions/" + uuid);
}

// Plain messages: an interface object would ask a shell that is not there yet for its interfaces.
QDBusMessage callExtensions(const QString& method, const QString& uuid)
{
    QDBusMessage call = QDBusMessage::createMethodCall(ShellService, ShellPath, ExtensionsInterface, method);
    call << uuid;
    return QDBusConnection::sessionBus().call(call);
}
} // namespace

HeadlessShell::~HeadlessShell()
{
    // Ended in this order, the shell leaves without complaining about its system bus.
    for (QProcess* process : {&shell, &systemBus}) {
        process->terminate();
        if (!process->waitForFinished(10000))
            process->kill();
        process->waitForFinished();
    }
}

bool HeadlessShell::startSystemBus()
{
    const QString config = home() + "/system-bus.conf";
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig><type>custom</type><listen>unix:tmpdir=" +
               home().toUtf8() +
               "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>"
               "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>\n");
    file.close();
    systemBus.start("dbus-daemon", {"--config-file=" + config, "--nofork", "--print-address=1"});
    if (!systemBus.waitForReadyRead(10000))
        return false;
    const QByteArray address = systemBus.readLine().trimmed();
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
    return !address.isEmpty();
}

bool HeadlessShell::start(const QStringList& enabledUuids)
{
    QStringList uuids = enabledUuids;
    if (!installHelper(&uuids) || !writeShellSettings(uuids) || !startSystemBus())
        return false;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("GSETTINGS_BACKEND", "keyfile");
    environment.insert("XDG_SESSION_TYPE", "wayland");
    environment.insert("XDG_CURRENT_DESKTOP", "GNOME");
    environment.insert("NO_AT_BRIDGE", "1");
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    shell.setProcessEnvironment(environment);
    shell.setProcessChannelMode(QProcess::MergedChannels);
    shell.setStandardOutputFile(logFile());
    shell.start("gnome-shell", {"--headless", "--wayland", "--no-x11", "--virtual-monitor", "1280x800",
                                "--wayland-display", WaylandDisplay});
    return shell.waitForStarted();
}

QString HeadlessShell::logFile() const
{
    return home() + "/gnome-shell.log";
}

int HeadlessShell::extensionState(const QString& uuid)
{
    const QDBusReply<QVariantMap> info = callExtensions("GetExtensionInfo", uuid);
    return info.isValid() ? info.value().value("state").toInt() : -1;
}

// The test helper extension owns its name once the shell has started up; extensions enabled
// during the start-up are not announced by the shell's signal, later changes are.
bool HeadlessShell::waitForStartUp(int milliseconds)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusServiceWatcher watcher(ReadyName, bus, QDBusServiceWatcher::WatchForRegistration);
    QSignalSpy registered(&watcher, &QDBusServiceWatcher::serviceRegistered);
    if (!bus.interface()->isServiceRegistered(ReadyName) && !registered.wait(milliseconds))
        return false;
    if (!subscribed)
        subscribed = bus.connect(ShellService, ShellPath, ExtensionsInterface, "ExtensionStateChanged", this,
                                 SIGNAL(extensionStateChanged(QString, QVariantMap)));
    return subscribed;
}

// Extensions are enabled a few seconds after the shell owns its name: the state is asked for
// once, then followed through the shell's signal.
bool HeadlessShell::waitForExtensionState(const QString& uuid, int state, int milliseconds)
{
    if (!waitForStartUp(milliseconds))
        return false;
    QSignalSpy changes(this, &HeadlessShell::extensionStateChanged);
    if (extensionState(uuid) == state)
        return true;
    while (changes.wait(milliseconds)) {
        for (const QList<QVariant>& change : changes) {
            if (change.at(0).toString() == uuid && change.at(1).toMap().value("state").toInt() == state)
                return true;
        }
        changes.clear();
    }
    return extensionState(uuid) == state;
}

bool HeadlessShell::setExtensionEnabled(const QString& uuid, bool enabled)
{
    const QDBusReply<bool> reply = callExtensions(enabled ? "EnableExtension" : "DisableExtension", uuid);
    return reply.isValid() && reply.value();
}

bool HeadlessShell::sync()
{
    QDBusMessage call = QDBusMessage::createMethodCall(ShellService, ShellPath, ExtensionsInterface, "ListExtensions");
    QDBusPendingCallWatcher reply(QDBusConnection::sessionBus().asyncCall(call));
    QSignalSpy finished(&reply, &QDBusPendingCallWatcher::finished);
    return (reply.isFinished() || finished.wait(10000)) && !reply.isError();
}

void HeadlessShell::launch(QProcess& process, const QString& program, const QStringList& arguments) const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("WAYLAND_DISPLAY", WaylandDisplay);
    environment.insert("GDK_BACKEND", "wayland");
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
}

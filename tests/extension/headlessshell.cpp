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

const QString HeadlessShell::WaylandDisplay = QStringLiteral("wayland-pavo-test");

namespace {
const QString ShellService = QStringLiteral("org.gnome.Shell");
const QString ShellPath = QStringLiteral("/org/gnome/Shell");
const QString ExtensionsInterface = QStringLiteral("org.gnome.Shell.Extensions");
const QString ReadyName = QStringLiteral("org.osmunda.PavoTest.ShellReady");

QString home()
{
    return QDir::homePath();
}

bool copyFolder(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QString& name : QDir(from).entryList(QDir::Files)) {
        if (!QFile::copy(from + QLatin1Char('/') + name, to + QLatin1Char('/') + name))
            return false;
    }
    return true;
}

// The keyfile settings backend reads this file at start: no dconf service needed.
bool writeShellSettings(const QStringList& uuids)
{
    const QString folder = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/glib-2.0/settings");
    QDir().mkpath(folder);
    QFile file(folder + QStringLiteral("/keyfile"));
    return file.open(QIODevice::WriteOnly) &&
           file.write("[org/gnome/shell]\ndisable-user-extensions=false\nenabled-extensions=['" +
                      uuids.join(QStringLiteral("', '")).toUtf8() + "']\n") > 0;
}

bool installHelper(QStringList* uuids)
{
    const QString uuid = QDir(QStringLiteral(HELPER_DIR)).dirName();
    uuids->append(uuid);
    return copyFolder(QStringLiteral(HELPER_DIR),
                      qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/gnome-shell/extensions/") + uuid);
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
    const QString config = home() + QStringLiteral("/system-bus.conf");
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
    systemBus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + config,
                                                    QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
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
    environment.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("keyfile"));
    environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("GNOME"));
    environment.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    shell.setProcessEnvironment(environment);
    shell.setProcessChannelMode(QProcess::MergedChannels);
    shell.setStandardOutputFile(logFile());
    shell.start(QStringLiteral("gnome-shell"),
                {QStringLiteral("--headless"), QStringLiteral("--wayland"), QStringLiteral("--no-x11"),
                 QStringLiteral("--virtual-monitor"), QStringLiteral("1280x800"), QStringLiteral("--wayland-display"),
                 WaylandDisplay});
    return shell.waitForStarted();
}

QString HeadlessShell::logFile() const
{
    return home() + QStringLiteral("/gnome-shell.log");
}

int HeadlessShell::extensionState(const QString& uuid)
{
    const QDBusReply<QVariantMap> info = callExtensions(QStringLiteral("GetExtensionInfo"), uuid);
    return info.isValid() ? info.value().value(QStringLiteral("state")).toInt() : -1;
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
        subscribed = bus.connect(ShellService, ShellPath, ExtensionsInterface, QStringLiteral("ExtensionStateChanged"),
                                 this, SIGNAL(extensionStateChanged(QString, QVariantMap)));
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
            if (change.at(0).toString() == uuid && change.at(1).toMap().value(QStringLiteral("state")).toInt() == state)
                return true;
        }
        changes.clear();
    }
    return extensionState(uuid) == state;
}

bool HeadlessShell::setExtensionEnabled(const QString& uuid, bool enabled)
{
    const QDBusReply<bool> reply =
        callExtensions(enabled ? QStringLiteral("EnableExtension") : QStringLiteral("DisableExtension"), uuid);
    return reply.isValid() && reply.value();
}

bool HeadlessShell::sync()
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(ShellService, ShellPath, ExtensionsInterface, QStringLiteral("ListExtensions"));
    QDBusPendingCallWatcher reply(QDBusConnection::sessionBus().asyncCall(call));
    QSignalSpy finished(&reply, &QDBusPendingCallWatcher::finished);
    return (reply.isFinished() || finished.wait(10000)) && !reply.isError();
}

void HeadlessShell::launch(QProcess& process, const QString& program, const QStringList& arguments) const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), WaylandDisplay);
    environment.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("wayland"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
}

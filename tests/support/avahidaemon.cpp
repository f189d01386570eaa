#include "tests/support/avahidaemon.h"

#include <QDeadlineTimer>
#include <QFile>

#include <csignal>

namespace {
constexpr int WaitMs = 10000;

// avahi-browse escapes names in its parsable output (\032 for a space); undo that.
QString unescape(const QByteArray& escaped)
{
    QByteArray plain;
    for (int i = 0; i < escaped.size(); ++i) {
        bool isCode = false;
        const int code = escaped.mid(i + 1, 3).toInt(&isCode);
        if (escaped[i] == '\\' && isCode) {
            plain += char(code);
            i += 3;
        } else {
            plain += escaped[i];
        }
    }
    return QString::fromUtf8(plain);
}
} // namespace

AvahiDaemon::AvahiDaemon(const QString& configFolder) : configFile(configFolder + QStringLiteral("/avahi-daemon.conf"))
{
    QFile config(configFile);
    if (config.open(QIODevice::WriteOnly))
        config.write("[server]\nuse-ipv4=yes\nuse-ipv6=no\nallow-interfaces=v0\nenable-dbus=yes\n"
                     "[wide-area]\nenable-wide-area=no\n"
                     "[publish]\npublish-hinfo=no\npublish-workstation=no\n");
    daemon.setProcessChannelMode(QProcess::MergedChannels);
}

bool AvahiDaemon::start()
{
    daemon.start(QStringLiteral("avahi-daemon"), {QStringLiteral("--no-drop-root"), QStringLiteral("--no-chroot"),
                                                  QStringLiteral("--no-rlimits"), QStringLiteral("-f"), configFile});
    if (!daemon.waitForStarted())
        return false;
    QByteArray log;
    const QDeadlineTimer deadline(WaitMs);
    while (!log.contains("Server startup complete") && !deadline.hasExpired() && daemon.waitForReadyRead(WaitMs))
        log += daemon.readAll();
    return log.contains("Server startup complete");
}

bool AvahiDaemon::stop()
{
    if (daemon.state() == QProcess::NotRunning)
        return true;
    ::kill(pid_t(daemon.processId()), SIGTERM);
    return daemon.waitForFinished(WaitMs);
}

QMap<QString, AvahiDaemon::Service> AvahiDaemon::browse()
{
    QProcess browser;
    browser.start(QStringLiteral("avahi-browse"), {QStringLiteral("-rpt"), QStringLiteral("_pavo._tcp")});
    if (!browser.waitForFinished(WaitMs))
        return {};
    QMap<QString, Service> services;
    for (const QByteArray& line : browser.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.split(';');
        if (fields.size() >= 4 && fields[0] == "-")
            services.remove(unescape(fields[3])); // a goodbye that came in while browsing
        if (fields.size() < 10 || fields[0] != "=")
            continue;
        Service& service = services[unescape(fields[3])];
        service.port = quint16(fields[8].toUInt());
        for (const QByteArray& record : fields[9].split(' '))
            service.txt += QString::fromUtf8(record.mid(1, record.size() - 2));
        service.txt.sort();
    }
    return services;
}

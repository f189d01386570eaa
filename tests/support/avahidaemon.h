#pragma once

#include <QMap>
#include <QProcess>
#include <QStringList>

// An avahi-daemon of the test's own, limited to the veth interface that with-avahi.sh makes in
// a private network namespace, and what avahi-browse resolves through it.
class AvahiDaemon
{
public:
    struct Service
    {
        quint16 port = 0;
        QStringList txt; // sorted "key=value" records
    };

    explicit AvahiDaemon(const QString& configFolder);
    ~AvahiDaemon() { stop(); }

    bool start();
    bool stop();
    // Every _pavo._tcp service by name, as avahi-browse resolves it now.
    static QMap<QString, Service> browse();

private:
    QString configFile;
    QProcess daemon;
};

#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The paired devices, kept in the settings group "au" as device id -> pairing secret. The file is
// the store of record, read once: every new connection asks, and anyone on the network can make
// one. The settings file then holds secrets, so every write leaves it readable by the user alone.
class AuthorizedDevices
{
public:
    static constexpr int MaxIdLength = 128;

    AuthorizedDevices();

    // Ids become settings keys: "/" and "\" would reach into or name the group itself.
    static bool isPlainId(const QString& id);
    static bool isSecret(const QString& secret);

    bool contains(const QString& id) const { return !id.isEmpty() && secrets.contains(id); }
    QString secret(const QString& id) const { return secrets.value(id); }
    int count() const { return secrets.size(); }
    QStringList ids() const;
    void insert(const QString& id, const QString& secret);
    void remove(const QString& id);
    void clear();

private:
    QHash<QString, QString> secrets;
};

#pragma once

#include <QString>

// The paired devices, kept in the settings group "au" as device id -> pairing secret.
// The settings file then holds secrets, so every write leaves it readable by the user alone.
class AuthorizedDevices
{
public:
    bool contains(const QString& id) const;
    QString secret(const QString& id) const;
    int count() const;
    void insert(const QString& id, const QString& secret);
    void remove(const QString& id);
    void clear();
};

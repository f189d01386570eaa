#pragma once

#include <QString>
#include <QUrl>

// Remembers how a request that is tried again and again last failed, so that the same failure of
// the same address is logged once; a success, another address or another reason is news again.
class RepeatedFailureFilter
{
public:
    // Whether this failure differs from the last one; it becomes the last one.
    bool isNew(const QUrl& address, const QString& reason);
    void succeeded() { last.clear(); }

private:
    QString last;
};

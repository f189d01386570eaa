#pragma once

#include <QObject>

// A single-use result: settles once, by resolve or reject, and then deletes itself.
class BasePromise : public QObject
{
    Q_OBJECT
public:
    explicit BasePromise(QObject* parent = nullptr);

signals:
    void resolve();
    void reject(QString message);
};

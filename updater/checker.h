#pragma once

#include <QObject>

class HttpReply;

namespace updater {

class DefaultUpdater;

// One fetch of the feed and the decision that follows. Whoever creates it deletes it after done().
class Checker : public QObject
{
    Q_OBJECT
public:
    explicit Checker(DefaultUpdater* updater);
    void check();
    bool error() const { return error_; }
    QString errorString() const { return errorString_; }

signals:
    void done();

private:
    void onFinished(HttpReply* reply);
    void fail(const QString& reason, const QString& status = QString());
    void parse(const QByteArray& feed);
    void decide();

    DefaultUpdater* updater;
    bool error_ = false;
    QString errorString_;
};

} // namespace updater

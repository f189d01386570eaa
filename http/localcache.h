#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>

// A named disk cache of byte strings under the user's cache directory, one file per entry. An
// entry's age is the age of its file; expiry keeps the cache under a size limit.
class LocalCache
{
public:
    // One cache per name, kept for the life of the process.
    static LocalCache& instance(const QByteArray& name);

    // Null when absent or older than the age limit.
    QByteArray value(const QByteArray& key);
    // Null only when absent or unreadable: the copy to fall back on when the server fails.
    QByteArray possiblyStaleValue(const QByteArray& key);
    void insert(const QByteArray& key, const QByteArray& value);
    void expire();

    // 0: entries never expire by age.
    void setMaxSeconds(uint seconds) { maxSeconds = seconds; }
    // 0 or less: no size control.
    void setMaxSize(qint64 bytes) { maxSize = bytes; }
    QString directory() const { return directory_; }
    // The file, relative to the directory, that holds the entry for this key.
    static QString relativePath(const QByteArray& key);

private:
    explicit LocalCache(const QByteArray& name);
    QString path(const QByteArray& key) const { return directory_ + relativePath(key); }
    bool isFresh(const QString& path) const;
    qint64 shrink(qint64 target);

    QString directory_;
    uint maxSeconds = 30 * 24 * 60 * 60;
    qint64 maxSize = 100 * 1024 * 1024;
    // 0 until an expiry pass has measured the directory.
    qint64 currentSize = 0;
    QMutex lock;
    int insertCount = 0;
};

#include "http/localcache.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QStandardPaths>
#include <QtEndian>

#include <algorithm>
#include <map>
#include <memory>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

namespace {

// Milliseconds since the epoch at which the file was created, or -1 when the file system does
// not say. The modification time would not do: it is an entry's birth that decides its age.
qint64 birthTime(const QString& path)
{
    struct statx info;
    if (statx(AT_FDCWD, QFile::encodeName(path).constData(), 0, STATX_BTIME, &info) != 0 ||
        !(info.stx_mask & STATX_BTIME))
        return -1;
    return qint64(info.stx_btime.tv_sec) * 1000 + info.stx_btime.tv_nsec / 1000000;
}

QByteArray readWhole(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << path << file.errorString();
        return {};
    }
    return file.readAll();
}

struct Entry
{
    qint64 birth;
    QString path;
    qint64 size;
};

} // namespace

LocalCache& LocalCache::instance(const QByteArray& name)
{
    static std::map<QByteArray, std::unique_ptr<LocalCache>> caches;
    std::unique_ptr<LocalCache>& cache = caches[name];
    if (!cache)
        cache.reset(new LocalCache(name));
    return *cache;
}

LocalCache::LocalCache(const QByteArray& name)
    : directory_(QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QLatin1Char('/') +
                 QString::fromUtf8(name) + QLatin1Char('/'))
{
}

QString LocalCache::relativePath(const QByteArray& key)
{
    const QByteArray digest = QCryptographicHash::hash(key, QCryptographicHash::Sha1);
    const QString text = QString::number(qFromLittleEndian<quint64>(digest.constData()), 36);
    return text.left(1) + QLatin1Char('/') + text.mid(1, 1) + QLatin1Char('/') + text.mid(2);
}

QByteArray LocalCache::value(const QByteArray& key)
{
    const QString file = path(key);
    if (!QFile::exists(file) || !isFresh(file))
        return {};
    return readWhole(file);
}

QByteArray LocalCache::possiblyStaleValue(const QByteArray& key)
{
    const QString file = path(key);
    if (!QFile::exists(file))
        return {};
    return readWhole(file);
}

bool LocalCache::isFresh(const QString& path) const
{
    if (maxSeconds == 0)
        return true;
    const qint64 birth = birthTime(path);
    const qint64 age = birth < 0 ? 0 : QDateTime::currentMSecsSinceEpoch() - birth;
    return age < qint64(maxSeconds) * 1000;
}

void LocalCache::insert(const QByteArray& key, const QByteArray& value)
{
    const QString file = path(key);
    QDir().mkpath(QFileInfo(file).path());
    // A new file renamed over the old one: the entry gets a new birth time, so a refreshed entry
    // is fresh again, and a crash mid-write never leaves a torn entry behind.
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(value) != value.size() || !out.commit()) {
        qWarning() << "Cannot create" << file << out.errorString();
        return;
    }
    if (currentSize > 0)
        currentSize += value.size();
    if (maxSize <= 0)
        return;
    ++insertCount;
    if (insertCount % 100 == 0 && (currentSize == 0 || currentSize > maxSize))
        expire();
}

void LocalCache::expire()
{
    if (!lock.tryLock())
        return;
    currentSize = shrink(maxSize * 9 / 10);
    lock.unlock();
}

// Deletes the oldest entries until the cache is below the target; returns the size left. Yields
// to the event loop between files so that replies keep flowing during a long pass.
qint64 LocalCache::shrink(qint64 target)
{
    std::vector<Entry> entries;
    qint64 total = 0;
    QDirIterator it(directory_, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const qint64 size = it.fileInfo().size();
        entries.push_back({birthTime(file), file, size});
        total += size;
        QCoreApplication::processEvents();
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.birth != b.birth ? a.birth < b.birth : a.path < b.path; });
    for (auto entry = entries.cbegin(); total >= target && entry != entries.cend(); ++entry) {
        if (QFile::remove(entry->path))
            total -= entry->size;
        QCoreApplication::processEvents();
    }
    return total;
}

#include "handlers/filehandlers.h"

#include "platform/imagepreview.h"
#include "platform/platform.h"
#include "server/protocol.h"
#include "server/server.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QStandardPaths>

#include <algorithm>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {
struct Entry
{
    QString name;
    bool directory;
    QCollatorSortKey key;
};

// Links count as what they point to; special files and dangling links are not listed.
bool classify(int directoryFd, const dirent* item, bool* directory)
{
    if (item->d_type == DT_DIR || item->d_type == DT_REG) {
        *directory = item->d_type == DT_DIR;
        return true;
    }
    if (item->d_type != DT_LNK && item->d_type != DT_UNKNOWN)
        return false;
    struct stat target;
    if (fstatat(directoryFd, item->d_name, &target, 0) != 0)
        return false;
    *directory = S_ISDIR(target.st_mode);
    return *directory || S_ISREG(target.st_mode);
}

// Qt's collation keys ignore the case setting under the C locale, which has no language of its
// own anyway: the root collation stands in for it.
QCollator nameCollator()
{
    const QLocale locale = QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale();
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

// Reads d_type straight from the directory so that only links and odd file systems cost a stat.
std::vector<Entry> readEntries(const QString& path)
{
    std::vector<Entry> entries;
    DIR* directory = opendir(QFile::encodeName(path).constData());
    if (!directory)
        return entries;
    const QCollator collator = nameCollator();
    while (const dirent* item = readdir(directory)) {
        bool isDirectory = false;
        if (item->d_name[0] == '.' || !classify(dirfd(directory), item, &isDirectory))
            continue;
        const QString name = QFile::decodeName(item->d_name);
        entries.push_back({name, isDirectory, collator.sortKey(name)});
    }
    closedir(directory);
    return entries;
}

// Names equal but for case still need a fixed order.
bool sortsBefore(const Entry* a, const Entry* b)
{
    const int order = a->key.compare(b->key);
    return order != 0 ? order < 0 : a->name < b->name;
}

QJsonArray listing(const QString& path)
{
    const std::vector<Entry> entries = readEntries(path);
    // Sorting pointers spares the keys a copy and a release on every swap.
    std::vector<const Entry*> order;
    order.reserve(entries.size());
    for (const Entry& entry : entries)
        order.push_back(&entry);
    const auto files = std::partition(order.begin(), order.end(), [](const Entry* entry) { return entry->directory; });
    std::sort(order.begin(), files, sortsBefore);
    std::sort(files, order.end(), sortsBefore);
    QJsonArray listed;
    for (const Entry* entry : order) {
        QJsonObject file{{Key::Name, entry->name}};
        if (entry->directory)
            file.insert(Key::FileType, Key::Directory);
        listed.append(file);
    }
    return listed;
}
} // namespace

void DirectoryListingHandler::handle(const QJsonObject& request, QWebSocket* connection)
{
    QString path = request.value(Key::Path).toString();
    if (path.isEmpty())
        path = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    server->sendJson(
        connection,
        {{Key::Method, method()}, {Key::Path, path}, {Key::Name, QDir(path).dirName()}, {Key::Files, listing(path)}});
}

void FileIconHandler::handle(const QJsonObject& request, QWebSocket* connection)
{
    const int size = request.value(Key::Size).toInt();
    if (!isServedIconSize(size))
        return;
    // A path wins; the suffix is only read without one, and is echoed instead of the path.
    const bool byPath = !request.value(Key::Path).toString().isEmpty();
    const QString& echoed = byPath ? Key::Path : Key::FileType;
    const QString subject = request.value(echoed).toString();
    const QPixmap icon = byPath ? platform()->fileIcon(subject, size) : platform()->fileTypeIcon(subject, size);
    if (icon.isNull())
        return;
    server->sendJson(connection, {{Key::Method, method()}, {echoed, subject}, {Key::Size, size}}, pngAttachment(icon));
}

void FilePreviewHandler::handle(const QJsonObject& request, QWebSocket* connection)
{
    const QString path = request.value(Key::Path).toString();
    if (path.isEmpty())
        return;
    const int width = request.value(Key::Width).toInt();
    const int height = request.value(Key::Height).toInt();
    const QPixmap preview =
        platform()->filePreview(path, qBound(0, width, LargestPreviewEdge), qBound(0, height, LargestPreviewEdge));
    server->sendJson(connection,
                     {{Key::Method, method()}, {Key::Path, path}, {Key::Width, width}, {Key::Height, height}},
                     pngAttachment(preview));
}

void FileOpenHandler::handle(const QJsonObject& request, QWebSocket*)
{
    platform()->openFile(request.value(Key::Path).toString(), request.value(Key::Id).toString());
}

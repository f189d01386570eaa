#include "platform/gnomeplatform.h"

#include "extensioninterface.h"
#include "handlers/promise.h"
#include "platform/autostart.h"
#include "platform/extension.h"
#include "platform/extensioncall.h"
#include "platform/gnomeapp.h"
#include "platform/gnomeiconlookup.h"
#include "platform/imagepreview.h"
#include "platform/regularfile.h"
#include "server/jsontext.h"
#include "updater/checker.h"
#include "updater/defaultupdater.h"
#include "updater/installer.h"

#include <QCoreApplication>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QMetaEnum>
#include <QMimeDatabase>
#include <QProcess>
#include <QUrl>
#include <QtDebug>

namespace {
constexpr int FirstStateWaitMs = 2000;

QJsonArray jsonArray(const QByteArray& json)
{
    return parseJson(json).array();
}

bool isFolder(const QMimeType& type)
{
    return type.inherits(QStringLiteral("inode/directory"));
}

QIcon themeIcon(const QMimeType& type)
{
    if (QIcon::hasThemeIcon(type.iconName()))
        return QIcon::fromTheme(type.iconName());
    if (QIcon::hasThemeIcon(type.genericIconName()))
        return QIcon::fromTheme(type.genericIconName());
    return QIcon::fromTheme(isFolder(type) ? QStringLiteral("folder") : QStringLiteral("text-x-generic"));
}

// A system without an icon theme still has the framework's own file and folder pictures; a
// client that asks for an icon always gets one.
QPixmap typePixmap(const QIcon& themed, const QMimeType& type, int size)
{
    const QPixmap pixmap = themed.pixmap(size, size);
    if (!pixmap.isNull())
        return pixmap;
    return QFileIconProvider()
        .icon(isFolder(type) ? QFileIconProvider::Folder : QFileIconProvider::File)
        .pixmap(size, size);
}

// The content decides only for a regular file; anything else goes by its name and is never opened.
QMimeType fileType(const QString& path)
{
    const QMimeDatabase types;
    if (QFileInfo(path).isDir())
        return types.mimeTypeForName(QStringLiteral("inode/directory"));
    if (const std::unique_ptr<QFile> file = openRegularFile(path))
        return types.mimeTypeForFileNameAndData(path, file.get());
    return types.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
}

// The role as the extension names it, with a lower-case first letter allowed; -1 when unknown.
App::ElementRole elementRole(QString name)
{
    name[0] = name.at(0).toUpper();
    return App::ElementRole(QMetaEnum::fromType<App::ElementRole>().keyToValue(name.toLatin1().constData()));
}
} // namespace

GNOMEPlatform::GNOMEPlatform(QObject* parent)
    : Platform(parent), updater(createExtensionUpdater(scriptsDirectory(), this))
{
    connect(updater, &Updater::statusChanged, this, [this](Updater::Status status) {
        if (status == Updater::UpToDate || status == Updater::UpdateDownloadFailed)
            probe();
    });
    // A failed installation leaves the status where it was; without the probe the program would
    // never become ready.
    connect(updater->installer(), &updater::Installer::error, this, &GNOMEPlatform::probe);
    firstStateDeadline.setSingleShot(true);
    firstStateDeadline.setInterval(FirstStateWaitMs);
    connect(&firstStateDeadline, &QTimer::timeout, this, &GNOMEPlatform::endAwaitingFirstState);
}

QString GNOMEPlatform::scriptsDirectory()
{
    static const QString directory = [] {
        const QStringList candidates = {QStringLiteral("/usr/share/pavo-server/scripts"),
                                        QCoreApplication::applicationDirPath() + QStringLiteral("/scripts")};
        for (const QString& candidate : candidates) {
            if (QFileInfo(candidate).isDir())
                return candidate;
        }
        qFatal("Cannot find scripts directory");
        return QString();
    }();
    return directory;
}

Promise<QByteArray>* GNOMEPlatform::runScript(const QString& name, const QStringList& arguments)
{
    auto* promise = new Promise<QByteArray>(this);
    auto* process = new QProcess(this);
    // A crash reports an error and then finishes: the promise settles on the first of them.
    connect(process, &QProcess::errorOccurred, promise, [process, promise](QProcess::ProcessError error) {
        process->disconnect(promise);
        process->deleteLater();
        emit promise->reject(QString::fromLatin1(QMetaEnum::fromType<QProcess::ProcessError>().valueToKey(error)));
    });
    connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), promise,
            [process, promise](int code, QProcess::ExitStatus status) {
                process->deleteLater();
                if (status != QProcess::NormalExit || code != 0) {
                    emit promise->reject(QString::fromUtf8(process->readAllStandardError().constData()));
                    return;
                }
                promise->value = process->readAllStandardOutput();
                emit promise->resolve();
            });
    process->start(QStringLiteral("bash"),
                   QStringList{scriptsDirectory() + QLatin1Char('/') + name + QStringLiteral(".sh")} + arguments);
    return promise;
}

void GNOMEPlatform::init()
{
    proxy = new OrgOsmundaPavoExtensionInterface(QStringLiteral("org.gnome.Shell"),
                                                 QStringLiteral("/org/osmunda/Pavo/Extension"),
                                                 QDBusConnection::sessionBus(), this);
    checkExtension();
}

void GNOMEPlatform::checkExtension()
{
    auto* checker = new updater::Checker(updater);
    checker->setParent(updater); // a reply that comes after the platform is gone must find no checker
    connect(checker, &updater::Checker::done, checker, &QObject::deleteLater);
    checker->check();
}

// Enables the extension just long enough to learn whether it answers; the first answer, or its
// absence, makes the platform ready.
void GNOMEPlatform::probe()
{
    connect(runScript(QStringLiteral("enable-extension")), &QObject::destroyed, this, [this] {
        whenFinished(this, proxy->invokeString(QStringLiteral("version")), [this](bool answered) {
            available = answered;
            if (!readyEmitted) {
                readyEmitted = true;
                emit ready();
            }
            runScript(QStringLiteral("disable-extension"));
        });
    });
}

void GNOMEPlatform::setActive(bool active)
{
    if (active == this->active)
        return;
    this->active = active;
    if (active)
        activate();
    else
        deactivate();
}

void GNOMEPlatform::activate()
{
    startAwaitingFirstState();
    Promise<QByteArray>* enabling = runScript(QStringLiteral("enable-extension"));
    connect(enabling, &BasePromise::resolve, this, [this] {
        whenFinished(this, proxy->invokeString(QStringLiteral("version")),
                     [this](bool answered) { onActivationAnswer(answered); });
    });
    connect(enabling, &BasePromise::reject, this, [this, activation = activations](const QString& message) {
        qWarning() << "Cannot enable the shell extension:" << message;
        if (activation == activations)
            endAwaitingFirstState();
    });
}

void GNOMEPlatform::onActivationAnswer(bool answered)
{
    // The last client may have left while the extension was being enabled.
    if (!active)
        return;
    available = answered;
    if (!answered) {
        endAwaitingFirstState();
        checkExtension();
        emit needPermissions();
        return;
    }
    dbus_installedApps();
    dbus_volumeLevel();
    dbus_volumeMute();
    dbus_unsupportedFeatures();
    dbus_screenLocked();
    connect(proxy, &OrgOsmundaPavoExtensionInterface::dataChanged, this, &GNOMEPlatform::onDataChanged,
            Qt::UniqueConnection);
}

void GNOMEPlatform::deactivate()
{
    endAwaitingFirstState();
    proxy->disconnect(this);
    runScript(QStringLiteral("disable-extension"));
    clearApps();
}

void GNOMEPlatform::startAwaitingFirstState()
{
    ++activations;
    firstStateOwed = 0;
    awaitingFirstState = true;
    firstStateDeadline.start();
}

void GNOMEPlatform::endAwaitingFirstState()
{
    if (!awaitingFirstState)
        return;
    awaitingFirstState = false;
    firstStateDeadline.stop();
    emit firstStateArrived();
}

// Like whenAnswered; a query made while the first state is awaited is owed to it, answered or not.
// Queries that a reply makes are owed before that reply is counted, so a chain is waited for whole.
template <typename Handler> void GNOMEPlatform::whenQueried(const QDBusPendingCall& call, Handler handler)
{
    const int owedTo = awaitingFirstState ? activations : 0;
    if (owedTo)
        ++firstStateOwed;
    auto* watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, owedTo, handler](QDBusPendingCallWatcher* watcher) {
                watcher->deleteLater();
                if (!watcher->isError())
                    handler(watcher->reply().arguments());
                if (owedTo == activations && awaitingFirstState && --firstStateOwed == 0)
                    endAwaitingFirstState();
            });
}

void GNOMEPlatform::onDataChanged(const QString& query)
{
    const QByteArray slot = "dbus_" + query.toLatin1();
    if (metaObject()->indexOfSlot(slot + "()") >= 0)
        QMetaObject::invokeMethod(this, slot.constData(), Qt::DirectConnection);
}

void GNOMEPlatform::setAutostart(bool enabled)
{
    setAutostartEntry(enabled);
}

QPixmap GNOMEPlatform::filePreview(const QString& path, int width, int)
{
    // Any image the user can read may be asked for: it is decoded scaled, or not at all.
    const QPixmap preview = scaledImagePreview(path, width);
    return preview.isNull() ? fileIcon(path, width) : preview;
}

QPixmap GNOMEPlatform::fileIcon(const QString& path, int size)
{
    const QMimeType type = fileType(path);
    return typePixmap(themeIcon(type), type, size);
}

QPixmap GNOMEPlatform::fileTypeIcon(const QString& suffix, int size)
{
    // The suffix comes from a client: it names a type, never a place.
    if (suffix.contains(QLatin1Char('/')) || suffix.contains(QChar(0)))
        return {};
    // Kept per type, not per suffix: a client can send endless suffixes, but there are only so
    // many types.
    static QHash<QString, QIcon> cache;
    const QMimeType type =
        QMimeDatabase().mimeTypeForFile(QStringLiteral("file.") + suffix, QMimeDatabase::MatchExtension);
    auto cached = cache.find(type.name());
    if (cached == cache.end())
        cached = cache.insert(type.name(), themeIcon(type));
    return typePixmap(*cached, type, size);
}

void GNOMEPlatform::openFile(const QString& path, const QString& appId)
{
    // As a URL, a path can be neither an option of the command nor a name relative to our folder.
    if (!QFileInfo(path).isAbsolute() || !QFileInfo::exists(path)) {
        qWarning() << "Not an existing file:" << path;
        return;
    }
    const QString url = QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
    if (appId.isEmpty()) {
        QProcess::startDetached(QStringLiteral("xdg-open"), {url});
        return;
    }
    // No desktop entry id starts with "-"; gtk-launch would take it for an option.
    if (appId.startsWith(QLatin1Char('-'))) {
        qWarning() << "Not an application id:" << appId;
        return;
    }
    QProcess::startDetached(QStringLiteral("gtk-launch"), {appId, url});
}

void GNOMEPlatform::invoke(const QString& method)
{
    sendAction(this, proxy->invoke(method));
}

void GNOMEPlatform::setBrightness(int percent)
{
    sendAction(this, proxy->setBrightness(qint16(percent)));
}

void GNOMEPlatform::setVolumeLevel(int percent)
{
    sendAction(this, proxy->setVolumeLevel(qint16(percent)));
}

void GNOMEPlatform::setVolumeMute(bool muted)
{
    sendAction(this, proxy->setVolumeMute(muted ? 1 : 0));
}

void GNOMEPlatform::dbus_currentApp()
{
    whenQueried(proxy->currentApp(),
                [this](const QVariantList& reply) { setCurrentApp(app(reply.value(0).toString())); });
}

void GNOMEPlatform::dbus_installedApps()
{
    whenQueried(proxy->installedApps(), [this](const QVariantList& reply) {
        mergeInstalledApps(reply.value(0).toString().toUtf8());
        dbus_runningApps();
        dbus_currentApp();
    });
}

void GNOMEPlatform::dbus_runningApps()
{
    whenQueried(proxy->runningApps(),
                [this](const QVariantList& reply) { reconcileRunningApps(reply.value(0).toString().toUtf8()); });
}

void GNOMEPlatform::dbus_a11y_focused()
{
    if (!currentApp())
        return;
    whenQueried(proxy->focusedElement(currentApp()->id()), [this](const QVariantList& reply) {
        App* focused = currentApp();
        if (!focused)
            return;
        const QString role = reply.value(0).toString();
        if (role.isEmpty())
            focused->focusRole(App::Null, QString(), QString(), {});
        else
            focused->focusRole(elementRole(role), reply.value(1).toString(), reply.value(2).toString(), {});
    });
}

void GNOMEPlatform::dbus_volumeLevel()
{
    whenQueried(proxy->volumeLevel(), [this](const QVariantList& reply) {
        volume = reply.value(0).toInt();
        emit volumeChanged();
    });
}

void GNOMEPlatform::dbus_volumeMute()
{
    whenQueried(proxy->volumeMute(), [this](const QVariantList& reply) {
        muted = reply.value(0).toInt() != 0;
        emit volumeMuteChanged();
    });
}

void GNOMEPlatform::dbus_unsupportedFeatures()
{
    whenQueried(proxy->unsupportedFeatures(), [this](const QVariantList& reply) {
        unsupported = reply.value(0).toStringList();
        emit unsupportedChanged();
    });
}

void GNOMEPlatform::dbus_screenLocked()
{
    whenQueried(proxy->screenLocked(), [this](const QVariantList& reply) {
        locked = reply.value(0).toBool();
        emit screenLockChanged();
    });
}

// Known applications keep their name and icon; one without an icon is not registered at all.
void GNOMEPlatform::mergeInstalledApps(const QByteArray& json)
{
    const GNOMEIconLookup icons;
    for (const QJsonValue& entry : jsonArray(json)) {
        const QString id = entry[QLatin1String("id")].toString();
        if (id.isEmpty() || apps.contains(id))
            continue;
        const QIcon icon = icons.find(entry[QLatin1String("icon")].toString(), id);
        if (icon.isNull())
            continue;
        addInstalledApp(new GNOMEApp(id, this, entry[QLatin1String("name")].toString(), icon));
    }
}

void GNOMEPlatform::reconcileRunningApps(const QByteArray& json)
{
    bool changed = false;
    QVector<App*> seen;
    for (const QJsonValue& entry : jsonArray(json)) {
        App* found = app(entry[QLatin1String("id")].toString());
        if (!found)
            continue;
        seen.append(found);
        if (!running.contains(found)) {
            running.append(found);
            found->setRunning(true);
            changed = true;
        }
    }
    for (auto it = running.begin(); it != running.end();) {
        if (seen.contains(*it)) {
            ++it;
            continue;
        }
        (*it)->setRunning(false);
        it = running.erase(it);
        changed = true;
    }
    if (changed)
        emit runningAppsChanged();
}

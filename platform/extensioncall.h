#pragma once

#include <QDBusPendingCallWatcher>
#include <QVariantList>

// Replies of the shell extension arrive later, through a watcher owned by the caller, so that a
// reply for an object that is gone reaches nobody.

// Calls the handler with the reply's arguments; a reply that carries an error is dropped.
template <typename Handler> void whenAnswered(QObject* caller, const QDBusPendingCall& call, Handler handler)
{
    auto* watcher = new QDBusPendingCallWatcher(call, caller);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, caller, [handler](QDBusPendingCallWatcher* watcher) {
        watcher->deleteLater();
        if (!watcher->isError())
            handler(watcher->reply().arguments());
    });
}

// Calls the handler with whether the call was answered without an error.
template <typename Handler> void whenFinished(QObject* caller, const QDBusPendingCall& call, Handler handler)
{
    auto* watcher = new QDBusPendingCallWatcher(call, caller);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, caller, [handler](QDBusPendingCallWatcher* watcher) {
        watcher->deleteLater();
        handler(!watcher->isError());
    });
}

// For actions: their effect comes back through the extension's change signal, if at all.
inline void sendAction(QObject* caller, const QDBusPendingCall& call)
{
    whenAnswered(caller, call, [](const QVariantList&) {});
}

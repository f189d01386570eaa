#include "avahiqtpoll.h"

#include <avahi-common/timeval.h>
#include <poll.h>

#include <QSocketNotifier>
#include <QTimer>

namespace {

// Avahi may free a watch or timeout from inside its own callback. The Qt objects then go through
// deleteLater (their signal is still being emitted) and the record itself is deleted by whoever
// is dispatching, once the callback has returned.
struct CallbackGuard
{
    bool dispatching = false;
    bool freed = false;
};

void deleteSoon(QObject* object)
{
    object->disconnect();
    object->deleteLater();
}

} // namespace

struct AvahiWatch
{
    AvahiWatch(int fd, AvahiWatchEvent wanted, AvahiWatchCallback callback, void* userdata);
    ~AvahiWatch();
    void update(AvahiWatchEvent wanted);
    void disable() { update(AvahiWatchEvent(0)); }
    void dispatch(short fallback);

    int fd;
    AvahiWatchCallback callback;
    void* userdata;
    short wanted = 0;
    AvahiWatchEvent happened = AvahiWatchEvent(0);
    CallbackGuard guard;
    QSocketNotifier* readNotifier;
    QSocketNotifier* writeNotifier;
    QSocketNotifier* errorNotifier;
};

AvahiWatch::AvahiWatch(int fd, AvahiWatchEvent wanted, AvahiWatchCallback callback, void* userdata)
    : fd(fd), callback(callback), userdata(userdata), readNotifier(new QSocketNotifier(fd, QSocketNotifier::Read)),
      writeNotifier(new QSocketNotifier(fd, QSocketNotifier::Write)),
      errorNotifier(new QSocketNotifier(fd, QSocketNotifier::Exception))
{
    QObject::connect(readNotifier, &QSocketNotifier::activated, [this] { dispatch(POLLIN); });
    QObject::connect(writeNotifier, &QSocketNotifier::activated, [this] { dispatch(POLLOUT); });
    QObject::connect(errorNotifier, &QSocketNotifier::activated, [this] { dispatch(POLLERR); });
    update(wanted);
}

AvahiWatch::~AvahiWatch()
{
    disable(); // the fd may be closed before the deferred delete runs
    deleteSoon(readNotifier);
    deleteSoon(writeNotifier);
    deleteSoon(errorNotifier);
}

void AvahiWatch::update(AvahiWatchEvent events)
{
    wanted = short(events);
    readNotifier->setEnabled(events & AVAHI_WATCH_IN);
    writeNotifier->setEnabled(events & AVAHI_WATCH_OUT);
    errorNotifier->setEnabled(events & (AVAHI_WATCH_ERR | AVAHI_WATCH_HUP));
}

// Socket notifiers cannot tell an error or a hang-up from readiness, so ask poll() what really
// happened; Avahi (through D-Bus) closes its connection on HUP and must see it.
void AvahiWatch::dispatch(short fallback)
{
    pollfd probe{fd, short(wanted | POLLERR | POLLHUP), 0};
    const short revents = ::poll(&probe, 1, 0) > 0 ? probe.revents : fallback;
    happened = AvahiWatchEvent(revents & (wanted | POLLERR | POLLHUP));
    if (!happened)
        return;
    guard.dispatching = true;
    callback(this, fd, happened, userdata);
    if (guard.freed) {
        delete this;
        return;
    }
    guard.dispatching = false;
    happened = AvahiWatchEvent(0);
}

struct AvahiTimeout
{
    AvahiTimeout(const timeval* tv, AvahiTimeoutCallback callback, void* userdata);
    ~AvahiTimeout()
    {
        disable();
        deleteSoon(timer);
    }
    void update(const timeval* tv);
    void disable() { update(nullptr); }
    void dispatch();

    AvahiTimeoutCallback callback;
    void* userdata;
    CallbackGuard guard;
    QTimer* timer;
};

AvahiTimeout::AvahiTimeout(const timeval* tv, AvahiTimeoutCallback callback, void* userdata)
    : callback(callback), userdata(userdata), timer(new QTimer)
{
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, [this] { dispatch(); });
    update(tv);
}

// Avahi speaks in absolute times; a time already past fires on the next loop iteration.
void AvahiTimeout::update(const timeval* tv)
{
    if (!tv) {
        timer->stop();
        return;
    }
    const AvahiUsec remaining = -avahi_age(tv);
    timer->start(remaining > 0 ? int((remaining + 999) / 1000) : 0);
}

void AvahiTimeout::dispatch()
{
    guard.dispatching = true;
    callback(this, userdata);
    if (guard.freed) {
        delete this;
        return;
    }
    guard.dispatching = false;
}

namespace {

template <typename T> void freeGuarded(T* object)
{
    if (object->guard.dispatching) {
        object->guard.freed = true;
        object->disable();
        return;
    }
    delete object;
}

AvahiWatch* watchNew(const AvahiPoll*, int fd, AvahiWatchEvent event, AvahiWatchCallback callback, void* userdata)
{
    return new AvahiWatch(fd, event, callback, userdata);
}

void watchUpdate(AvahiWatch* watch, AvahiWatchEvent event)
{
    watch->update(event);
}

AvahiWatchEvent watchGetEvents(AvahiWatch* watch)
{
    return watch->happened;
}

AvahiTimeout* timeoutNew(const AvahiPoll*, const timeval* tv, AvahiTimeoutCallback callback, void* userdata)
{
    return new AvahiTimeout(tv, callback, userdata);
}

void timeoutUpdate(AvahiTimeout* timeout, const timeval* tv)
{
    timeout->update(tv);
}

} // namespace

const AvahiPoll* avahiQtPoll()
{
    static const AvahiPoll poll{nullptr,
                                watchNew,
                                watchUpdate,
                                watchGetEvents,
                                freeGuarded<AvahiWatch>,
                                timeoutNew,
                                timeoutUpdate,
                                freeGuarded<AvahiTimeout>};
    return &poll;
}

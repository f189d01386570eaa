#include "server/avahiqtpoll.h"

#include <avahi-common/timeval.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QtTest>

// What a callback saw, and what it should do to its own watch or timeout while running.
struct Probe
{
    const AvahiPoll* poll = avahiQtPoll();
    int calls = 0;
    AvahiWatchEvent lastEvent = AvahiWatchEvent(0);
    AvahiTimeout* lastTimeout = nullptr;
    std::function<void(AvahiWatch*)> onWatch;
    std::function<void(AvahiTimeout*)> onTimeout;
};

class TestAvahiQtPoll : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void watchesAreUpdatedAndFreedInside();
    void timeoutsFireOnceOnTimeAndAreRearmedAndFreedInside();

private:
    AvahiWatch* newWatch(AvahiWatchEvent events);
    AvahiTimeout* newTimeout(int msecFromNow);

    Probe probe;
    int fds[2] = {-1, -1};
};

AvahiWatch* TestAvahiQtPoll::newWatch(AvahiWatchEvent events)
{
    const auto callback = [](AvahiWatch* watch, int, AvahiWatchEvent event, void* userdata) {
        auto* probe = static_cast<Probe*>(userdata);
        ++probe->calls;
        probe->lastEvent = event;
        if (probe->onWatch)
            probe->onWatch(watch);
    };
    return probe.poll->watch_new(probe.poll, fds[0], events, callback, &probe);
}

// A negative time: never armed.
AvahiTimeout* TestAvahiQtPoll::newTimeout(int msecFromNow)
{
    const auto callback = [](AvahiTimeout* timeout, void* userdata) {
        auto* probe = static_cast<Probe*>(userdata);
        ++probe->calls;
        probe->lastTimeout = timeout;
        if (probe->onTimeout)
            probe->onTimeout(timeout);
    };
    timeval tv;
    avahi_elapse_time(&tv, unsigned(qMax(msecFromNow, 0)), 0);
    return probe.poll->timeout_new(probe.poll, msecFromNow < 0 ? nullptr : &tv, callback, &probe);
}

void TestAvahiQtPoll::init()
{
    probe = Probe();
    QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds), 0);
}

void TestAvahiQtPoll::cleanup()
{
    for (int& fd : fds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

// D-Bus switches a watch between reading and writing from inside its callbacks, and frees the
// watch of a connection that hung up from inside that watch's callback. The byte is never read:
// the watch is level-triggered, so only the updates decide what fires.
void TestAvahiQtPoll::watchesAreUpdatedAndFreedInside()
{
    AvahiWatch* watch = newWatch(AVAHI_WATCH_IN);
    QList<int> seen; // the event passed, and what watch_get_events said, per call
    probe.onWatch = [&](AvahiWatch* w) {
        seen << probe.lastEvent << probe.poll->watch_get_events(w);
        probe.poll->watch_update(w, probe.calls == 1 ? AvahiWatchEvent(AVAHI_WATCH_IN | AVAHI_WATCH_OUT)
                                                     : AvahiWatchEvent(0));
    };
    QCoreApplication::processEvents();
    QCOMPARE(probe.calls, 0); // writable, but nobody asked
    QCOMPARE(::write(fds[1], "x", 1), 1);
    QTRY_COMPARE(probe.calls, 2);
    const int both = AVAHI_WATCH_IN | AVAHI_WATCH_OUT;
    QCOMPARE(seen, (QList<int>{AVAHI_WATCH_IN, AVAHI_WATCH_IN, both, both}));
    QCOMPARE(probe.poll->watch_get_events(watch), AvahiWatchEvent(0)); // only meaningful inside
    QCoreApplication::processEvents();
    QCOMPARE(probe.calls, 2); // disabled, although still readable and writable

    probe.poll->watch_update(watch, AvahiWatchEvent(AVAHI_WATCH_IN | AVAHI_WATCH_HUP));
    probe.onWatch = [this](AvahiWatch* w) { probe.poll->watch_free(w); };
    ::close(fds[1]);
    fds[1] = -1;
    QTRY_COMPARE(probe.calls, 3);
    QVERIFY(probe.lastEvent & AVAHI_WATCH_HUP);
    QCoreApplication::processEvents();
    QCOMPARE(probe.calls, 3); // the hang-up persists, but the watch is gone
}

// Avahi's own retries re-arm a timeout from its callback, and a finished one frees itself there.
// Each sentinel fires last: nothing else fired twice, early, or at all after a null time.
void TestAvahiQtPoll::timeoutsFireOnceOnTimeAndAreRearmedAndFreedInside()
{
    QElapsedTimer clock;
    clock.start();
    AvahiTimeout* due = newTimeout(30);
    AvahiTimeout* disabled = newTimeout(10);
    probe.poll->timeout_update(disabled, nullptr);
    AvahiTimeout* neverArmed = newTimeout(-1);
    QTRY_COMPARE(probe.calls, 1);
    QCOMPARE(probe.lastTimeout, due);
    QVERIFY2(clock.elapsed() >= 30, qPrintable(QString::number(clock.elapsed())));
    for (AvahiTimeout* timeout : {due, disabled, neverArmed})
        probe.poll->timeout_free(timeout);

    probe.onTimeout = [this](AvahiTimeout* t) {
        timeval tv;
        if (probe.calls < 4)
            probe.poll->timeout_update(t, avahi_elapse_time(&tv, 5, 0));
        else
            probe.poll->timeout_free(t);
    };
    newTimeout(5);
    QTRY_COMPARE(probe.calls, 4);
    probe.onTimeout = nullptr;
    probe.lastTimeout = nullptr; // the sentinel may reuse the freed timeout's address
    AvahiTimeout* sentinel = newTimeout(60);
    QTRY_COMPARE(probe.lastTimeout, sentinel);
    QCOMPARE(probe.calls, 5);
    probe.poll->timeout_free(sentinel);
}

QTEST_GUILESS_MAIN(TestAvahiQtPoll)
#include "testavahiqtpoll.moc"

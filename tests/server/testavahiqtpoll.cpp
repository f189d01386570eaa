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
    AvahiWatchEvent reportedEvents = AvahiWatchEvent(0);
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
    void watchReportsWhatHappened();
    void watchReportsHangUpAndIsFreedInside();
    void watchUpdatedInsideCallback();
    void timeoutFiresNotBeforeItsTime();
    void timeoutDisabledByNullTime();
    void timeoutRearmedAndFreedInsideCallback();

private:
    static void watchCallback(AvahiWatch* watch, int fd, AvahiWatchEvent event, void* userdata);
    static void timeoutCallback(AvahiTimeout* timeout, void* userdata);
    AvahiWatch* newWatch(int fd, AvahiWatchEvent events);
    AvahiTimeout* newTimeout(int msecFromNow);

    Probe probe;
    int fds[2] = {-1, -1};
};

void TestAvahiQtPoll::watchCallback(AvahiWatch* watch, int, AvahiWatchEvent event, void* userdata)
{
    auto* probe = static_cast<Probe*>(userdata);
    ++probe->calls;
    probe->lastEvent = event;
    probe->reportedEvents = probe->poll->watch_get_events(watch);
    if (probe->onWatch)
        probe->onWatch(watch);
}

void TestAvahiQtPoll::timeoutCallback(AvahiTimeout* timeout, void* userdata)
{
    auto* probe = static_cast<Probe*>(userdata);
    ++probe->calls;
    probe->lastTimeout = timeout;
    if (probe->onTimeout)
        probe->onTimeout(timeout);
}

AvahiWatch* TestAvahiQtPoll::newWatch(int fd, AvahiWatchEvent events)
{
    return probe.poll->watch_new(probe.poll, fd, events, &watchCallback, &probe);
}

AvahiTimeout* TestAvahiQtPoll::newTimeout(int msecFromNow)
{
    timeval tv;
    avahi_elapse_time(&tv, unsigned(msecFromNow), 0);
    return probe.poll->timeout_new(probe.poll, &tv, &timeoutCallback, &probe);
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

void TestAvahiQtPoll::watchReportsWhatHappened()
{
    AvahiWatch* watch = newWatch(fds[0], AVAHI_WATCH_IN);
    probe.onWatch = [this](AvahiWatch*) {
        char byte;
        QCOMPARE(::read(fds[0], &byte, 1), 1); // level-triggered: fires again until read
    };
    QCoreApplication::processEvents();
    QCOMPARE(probe.calls, 0); // nothing to read yet

    QCOMPARE(::write(fds[1], "x", 1), 1);
    QTRY_COMPARE(probe.calls, 1);
    QCOMPARE(probe.lastEvent, AVAHI_WATCH_IN);
    QCOMPARE(probe.reportedEvents, AVAHI_WATCH_IN);
    QCOMPARE(probe.poll->watch_get_events(watch), AvahiWatchEvent(0)); // only meaningful inside

    probe.onWatch = [this](AvahiWatch* w) { probe.poll->watch_update(w, AvahiWatchEvent(0)); };
    QCOMPARE(::write(fds[1], "x", 1), 1);
    probe.poll->watch_update(watch, AvahiWatchEvent(AVAHI_WATCH_IN | AVAHI_WATCH_OUT));
    QTRY_COMPARE(probe.calls, 2);
    QCOMPARE(probe.lastEvent, AvahiWatchEvent(AVAHI_WATCH_IN | AVAHI_WATCH_OUT));
    probe.poll->watch_free(watch);
}

// D-Bus frees the watch of a connection that hung up from inside that watch's callback.
void TestAvahiQtPoll::watchReportsHangUpAndIsFreedInside()
{
    newWatch(fds[0], AvahiWatchEvent(AVAHI_WATCH_IN | AVAHI_WATCH_HUP));
    probe.onWatch = [this](AvahiWatch* w) { probe.poll->watch_free(w); };
    ::close(fds[1]);
    fds[1] = -1;
    QTRY_COMPARE(probe.calls, 1);
    QVERIFY(probe.lastEvent & AVAHI_WATCH_HUP);
    QCoreApplication::processEvents();
    QCOMPARE(probe.calls, 1); // the hang-up persists, but the watch is gone
}

// D-Bus switches a watch between reading and writing from inside its callbacks.
void TestAvahiQtPoll::watchUpdatedInsideCallback()
{
    AvahiWatch* watch = newWatch(fds[0], AVAHI_WATCH_OUT);
    probe.onWatch = [this](AvahiWatch* w) {
        probe.poll->watch_update(w, probe.lastEvent == AVAHI_WATCH_OUT ? AVAHI_WATCH_IN : AvahiWatchEvent(0));
    };
    QTRY_COMPARE(probe.calls, 1);
    QCOMPARE(probe.lastEvent, AVAHI_WATCH_OUT);
    QCoreApplication::processEvents();
    QCOMPARE(probe.calls, 1); // waiting for input now, although still writable

    QCOMPARE(::write(fds[1], "x", 1), 1);
    QTRY_COMPARE(probe.calls, 2);
    QCOMPARE(probe.lastEvent, AVAHI_WATCH_IN);
    QCoreApplication::processEvents();
    QCOMPARE(probe.calls, 2); // disabled, although still readable
    probe.poll->watch_free(watch);
}

void TestAvahiQtPoll::timeoutFiresNotBeforeItsTime()
{
    QElapsedTimer clock;
    clock.start();
    AvahiTimeout* timeout = newTimeout(30);
    QTRY_COMPARE(probe.calls, 1);
    QVERIFY2(clock.elapsed() >= 30, qPrintable(QString::number(clock.elapsed())));

    // Single-shot: fires once, then stays quiet until updated.
    AvahiTimeout* sentinel = newTimeout(60);
    QTRY_COMPARE(probe.lastTimeout, sentinel);
    QCOMPARE(probe.calls, 2);
    probe.poll->timeout_free(timeout);
    probe.poll->timeout_free(sentinel);
}

void TestAvahiQtPoll::timeoutDisabledByNullTime()
{
    AvahiTimeout* disabled = newTimeout(10);
    probe.poll->timeout_update(disabled, nullptr);
    AvahiTimeout* neverArmed = probe.poll->timeout_new(probe.poll, nullptr, &timeoutCallback, &probe);
    AvahiTimeout* sentinel = newTimeout(50);
    QTRY_COMPARE(probe.lastTimeout, sentinel);
    QCOMPARE(probe.calls, 1);
    probe.poll->timeout_free(disabled);
    probe.poll->timeout_free(neverArmed);
    probe.poll->timeout_free(sentinel);
}

// Avahi's own retries re-arm a timeout from its callback, and a finished one frees itself there.
void TestAvahiQtPoll::timeoutRearmedAndFreedInsideCallback()
{
    probe.onTimeout = [this](AvahiTimeout* t) {
        if (probe.calls < 3) {
            timeval tv;
            probe.poll->timeout_update(t, avahi_elapse_time(&tv, 5, 0));
        } else {
            probe.poll->timeout_free(t);
        }
    };
    newTimeout(5);
    QTRY_COMPARE(probe.calls, 3);
    probe.onTimeout = nullptr;
    probe.lastTimeout = nullptr; // the sentinel may reuse the freed timeout's address
    AvahiTimeout* sentinel = newTimeout(30);
    QTRY_COMPARE(probe.lastTimeout, sentinel);
    QCOMPARE(probe.calls, 4);
    probe.poll->timeout_free(sentinel);
}

QTEST_GUILESS_MAIN(TestAvahiQtPoll)
#include "testavahiqtpoll.moc"

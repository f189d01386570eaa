#include "server/avahiqtpoll.h"

#include <avahi-common/timeval.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QtTest>

// The discovery suite drives this adapter against a real daemon; what only shows here is a watch
// or timeout that Avahi updates or frees from inside its own callback.
class TestAvahiQtPoll : public QObject
{
    Q_OBJECT
    const AvahiPoll* poll = avahiQtPoll();
    QList<int> watchEvents;
    int timeouts = 0;
    AvahiTimeout* lastTimeout = nullptr;

private slots:
    // The byte is never read and the watch is level-triggered: only the updates decide what fires.
    void watchIsDisabledThenFreedInside()
    {
        int fds[2];
        QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds), 0);
        // D-Bus frees the watch of a connection that hung up from inside that watch's callback.
        const auto callback = [](AvahiWatch* watch, int, AvahiWatchEvent event, void* self) {
            auto* test = static_cast<TestAvahiQtPoll*>(self);
            test->watchEvents << event;
            if (test->watchEvents.size() == 1)
                test->poll->watch_update(watch, AvahiWatchEvent(0));
            else
                test->poll->watch_free(watch);
        };
        AvahiWatch* watch = poll->watch_new(poll, fds[0], AVAHI_WATCH_IN, callback, this);
        QCOMPARE(::write(fds[1], "x", 1), 1);
        QTRY_COMPARE(watchEvents.size(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(watchEvents, QList<int>{AVAHI_WATCH_IN}); // not writable, and disabled although readable

        poll->watch_update(watch, AvahiWatchEvent(AVAHI_WATCH_IN | AVAHI_WATCH_HUP));
        ::close(fds[1]);
        QTRY_COMPARE(watchEvents.size(), 2);
        QVERIFY(watchEvents.last() & AVAHI_WATCH_HUP);
        QCoreApplication::processEvents();
        QCOMPARE(watchEvents.size(), 2); // the hang-up persists, but the watch is gone
        ::close(fds[0]);
    }

    // Avahi's retries re-arm a timeout from its callback, and a finished one frees itself there. The
    // sentinel fires last: nothing fired early, twice, or at all after a null time.
    void timeoutIsRearmedThenFreedInside()
    {
        const auto callback = [](AvahiTimeout* timeout, void* self) {
            auto* test = static_cast<TestAvahiQtPoll*>(self);
            test->lastTimeout = timeout;
            timeval tv;
            if (++test->timeouts < 3)
                test->poll->timeout_update(timeout, avahi_elapse_time(&tv, 20, 0));
            else if (test->timeouts == 3)
                test->poll->timeout_free(timeout);
        };
        QElapsedTimer clock;
        clock.start();
        timeval tv;
        poll->timeout_new(poll, avahi_elapse_time(&tv, 20, 0), callback, this);
        AvahiTimeout* disabled = poll->timeout_new(poll, avahi_elapse_time(&tv, 10, 0), callback, this);
        poll->timeout_update(disabled, nullptr);
        QTRY_COMPARE(timeouts, 3);
        QVERIFY2(clock.elapsed() >= 60, qPrintable(QString::number(clock.elapsed())));

        lastTimeout = nullptr; // the sentinel may reuse the freed timeout's address
        AvahiTimeout* sentinel = poll->timeout_new(poll, avahi_elapse_time(&tv, 60, 0), callback, this);
        QTRY_COMPARE(lastTimeout, sentinel);
        QCOMPARE(timeouts, 4);
        for (AvahiTimeout* timeout : {sentinel, disabled})
            poll->timeout_free(timeout);
    }
};

QTEST_GUILESS_MAIN(TestAvahiQtPoll)
#include "testavahiqtpoll.moc"

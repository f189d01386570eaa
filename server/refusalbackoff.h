#pragma once

#include <QHash>
#include <QHostAddress>

#include <functional>

// Turns away requests for the user's consent from an address whose last request was refused, for
// a while that doubles with each refusal: a stranger cannot sound the prompt again and again.
class RefusalBackoff
{
public:
    // Milliseconds on a monotonic clock.
    using Clock = std::function<qint64()>;

    static constexpr qint64 FirstMs = 10 * 1000;
    static constexpr qint64 LongestMs = 10 * 60 * 1000;
    static constexpr qint64 ForgottenAfterMs = 60 * 60 * 1000;
    static constexpr int MaxAddresses = 1024;

    RefusalBackoff();

    void setClock(Clock clock) { now = std::move(clock); }
    bool holdsOff(const QHostAddress& address) const;
    void refused(const QHostAddress& address);

private:
    struct Refusals
    {
        int count = 0;
        qint64 last = 0;
    };

    static qint64 backoffMs(int count);
    void forgetQuietAddresses(qint64 time);
    void forgetLongestQuiet();

    Clock now;
    QHash<QHostAddress, Refusals> addresses;
};

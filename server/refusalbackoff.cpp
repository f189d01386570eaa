#include "server/refusalbackoff.h"

#include <QDeadlineTimer>

#include <algorithm>

RefusalBackoff::RefusalBackoff() : now([] { return QDeadlineTimer::current().deadline(); }) {}

bool RefusalBackoff::holdsOff(const QHostAddress& address) const
{
    const auto found = addresses.constFind(address);
    return found != addresses.constEnd() && now() < found->last + backoffMs(found->count);
}

void RefusalBackoff::refused(const QHostAddress& address)
{
    const qint64 time = now();
    forgetQuietAddresses(time);
    if (addresses.size() >= MaxAddresses && !addresses.contains(address))
        forgetLongestQuiet();
    Refusals& refusals = addresses[address];
    ++refusals.count;
    refusals.last = time;
}

qint64 RefusalBackoff::backoffMs(int count)
{
    const int doublings = std::min(count - 1, 6); // 10 s * 2^6 is past the cap already
    return std::min(FirstMs << doublings, LongestMs);
}

void RefusalBackoff::forgetQuietAddresses(qint64 time)
{
    for (auto it = addresses.begin(); it != addresses.end();) {
        if (time - it->last >= ForgottenAfterMs)
            it = addresses.erase(it);
        else
            ++it;
    }
}

// Someone with many addresses is not held off by this anyway; the table must only stay small.
void RefusalBackoff::forgetLongestQuiet()
{
    const auto oldest = std::min_element(addresses.begin(), addresses.end(),
                                         [](const Refusals& a, const Refusals& b) { return a.last < b.last; });
    addresses.erase(oldest);
}

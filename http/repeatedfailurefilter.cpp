#include "http/repeatedfailurefilter.h"

bool RepeatedFailureFilter::isNew(const QUrl& address, const QString& reason)
{
    const QString failure = address.toString() + QLatin1Char('\n') + reason;
    if (failure == last)
        return false;
    last = failure;
    return true;
}

#include "tests/support/warningcounter.h"

namespace {
WarningCounter* active = nullptr;
}

WarningCounter::WarningCounter(const QString& pattern)
    : pattern(pattern), outer(active), previous(qInstallMessageHandler(handle))
{
    active = this;
}

WarningCounter::~WarningCounter()
{
    qInstallMessageHandler(previous);
    active = outer;
}

void WarningCounter::handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    // Counters nest: every one counts, and only the outermost passes the message on.
    WarningCounter* counter = active;
    for (;; counter = counter->outer) {
        if (counter->pattern.match(message).hasMatch())
            ++counter->matches;
        if (!counter->outer)
            break;
    }
    counter->previous(type, context, message);
}

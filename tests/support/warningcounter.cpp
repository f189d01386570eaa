#include "tests/support/warningcounter.h"

namespace {
WarningCounter* active = nullptr;
}

WarningCounter::WarningCounter(const QString& pattern) : pattern(pattern), previous(qInstallMessageHandler(handle))
{
    active = this;
}

WarningCounter::~WarningCounter()
{
    qInstallMessageHandler(previous);
    active = nullptr;
}

void WarningCounter::handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (active->pattern.match(message).hasMatch())
        ++active->matches;
    active->previous(type, context, message);
}

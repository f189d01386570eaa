#include "tests/support/testcore.h"

#include "server/core.h"
#include "tests/support/testplatform.h"

#include <QCoreApplication>
#include <QSignalSpy>

TestPlatform* startTestCore()
{
    Core::setPlatformFactory([](QObject* parent) { return new TestPlatform(parent); });
    Core* core = Core::instance();
    QSignalSpy ready(core, &Core::ready);
    core->start();
    if (!ready.wait())
        return nullptr;
    QCoreApplication::processEvents(); // handlers register on the turn after they are made
    return static_cast<TestPlatform*>(core->platform());
}

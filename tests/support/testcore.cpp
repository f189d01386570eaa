#include "tests/support/testcore.h"

#include "http/vendor.h"
#include "http/webservice.h"
#include "server/core.h"
#include "tests/support/testplatform.h"

#include <QCoreApplication>
#include <QSignalSpy>

TestPlatform* startTestCore()
{
    // The core asks the web service for websites at once; a suite that serves none must not
    // reach for the real one. Nothing listens on port 1 of loopback.
    if (webServiceBaseUrl() == PAVO_WEB_SERVICE_URL)
        setWebServiceBaseUrl("http://127.0.0.1:1");
    Core::setPlatformFactory([](QObject* parent) { return new TestPlatform(parent); });
    Core* core = Core::instance();
    QSignalSpy ready(core, &Core::ready);
    core->start();
    if (!ready.wait())
        return nullptr;
    QCoreApplication::processEvents(); // handlers register on the turn after they are made
    return static_cast<TestPlatform*>(core->platform());
}

// The first byte picks the connection: even for the admitted device, odd for the one that waits
// for the user's decision. The rest is the message as the client sent it.
#include "fuzz/fuzzsupport.h"
#include "fuzz/messageharness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static MessageHarness* harness = (startFuzzApplication(), new MessageHarness(MessageHarness::Plain));
    if (size == 0)
        return 0;
    const auto peer = data[0] & 1 ? MessageHarness::Pending : MessageHarness::Admitted;
    const QByteArray message = inputBytes(data + 1, size - 1);
    {
        SlowInputGuard guard;
        harness->deliver(peer, message, false);
    }
    harness->recover();
    return 0;
}

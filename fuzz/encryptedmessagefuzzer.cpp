// The first byte picks the connection (bit 0: admitted or challenged and silent) and whether the
// rest is sealed under its session key first (bit 1 clear) or arrives as raw ciphertext.
#include "fuzz/fuzzsupport.h"
#include "fuzz/messageharness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static MessageHarness* harness = (startFuzzApplication(), new MessageHarness(MessageHarness::Encrypted));
    if (size == 0)
        return 0;
    const auto peer = data[0] & 1 ? MessageHarness::Pending : MessageHarness::Admitted;
    const bool sealed = !(data[0] & 2);
    const QByteArray message = inputBytes(data + 1, size - 1);
    {
        SlowInputGuard guard;
        harness->deliver(peer, message, sealed);
    }
    harness->recover();
    return 0;
}

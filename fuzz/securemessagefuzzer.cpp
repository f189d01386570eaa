// Protocol 2 connections. The first byte picks the connection (bits 0-1: the admitted device, the
// known device that owes its challenge's answer, or the unknown one that owes its pairing key) and,
// for the admitted one, whether the rest is sealed under its session key first (bit 2 clear) or
// arrives as it is, as a frame that will not open. The waiting ones read the rest in clear.
#include "fuzz/fuzzsupport.h"
#include "fuzz/messageharness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static MessageHarness* harness = (startFuzzApplication(), new MessageHarness(MessageHarness::Secure));
    if (size == 0)
        return 0;
    static const MessageHarness::Peer peers[] = {MessageHarness::Admitted, MessageHarness::Pending,
                                                 MessageHarness::Pairing, MessageHarness::Admitted};
    const MessageHarness::Peer peer = peers[data[0] & 3];
    const bool sealed = !(data[0] & 4);
    const QByteArray message = inputBytes(data + 1, size - 1);
    {
        SlowInputGuard guard;
        harness->deliver(peer, message, sealed);
    }
    harness->recover();
    return 0;
}

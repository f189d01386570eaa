#include "fuzz/feedfuzzer.h"

#include "fuzz/fuzzsupport.h"

void parseFeed(updater::Parser& parser, const uint8_t* data, size_t size)
{
    static updater::DefaultUpdater* target = (startFuzzApplication(), new updater::DefaultUpdater);
    parser.setUpdater(target);
    SlowInputGuard guard;
    parser.parse(inputBytes(data, size));
}

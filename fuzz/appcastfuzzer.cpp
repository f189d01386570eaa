#include "fuzz/feedfuzzer.h"
#include "updater/appcastparser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    updater::AppcastParser parser;
    parseFeed(parser, data, size);
    return 0;
}

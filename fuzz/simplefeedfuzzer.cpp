// Download addresses may hold %1-style placeholders that the parser's arguments fill in.
#include "fuzz/feedfuzzer.h"
#include "updater/simplexmlparser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    updater::SimpleXmlParser parser;
    parser.setUrlArguments({QStringLiteral("43"), QStringLiteral("x86_64")});
    parseFeed(parser, data, size);
    return 0;
}

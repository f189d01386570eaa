#pragma once

#include "updater/defaultupdater.h"
#include "updater/parser.h"

#include <cstddef>
#include <cstdint>

// Parses one fuzzed feed into an updater that only collects what the parser finds.
void parseFeed(updater::Parser& parser, const uint8_t* data, size_t size);

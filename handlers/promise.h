#pragma once

#include "handlers/basepromise.h"

// The producer stores value before it emits resolve; consumers read it in their resolve slot.
template <typename T> class Promise : public BasePromise
{
public:
    using BasePromise::BasePromise;
    T value{};
};

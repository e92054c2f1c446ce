// What the fprintd back end's thread answers to the service's operations.
#pragma once

#include <functional>
#include <vector>

#include "WinBio.h"

// Each answer is called once, on the back end's thread.
template <typename T>
using Answer = std::function<void(T)>;

struct SessionAnswer {
    StatusCode status = kOk;
    SessionHandle handle = 0;
};

struct UnitsAnswer {
    StatusCode status = kOk;
    std::vector<WINBIO_UNIT_SCHEMA> units;
};

struct UnitAnswer {
    StatusCode status = kOk;
    UnitId unit = 0;
};

struct FingersAnswer {
    StatusCode status = kOk;
    std::vector<SubFactor> fingers;
};

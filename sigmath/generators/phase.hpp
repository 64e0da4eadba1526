// Phase bookkeeping shared by the periodic generators.
#pragma once

#include "frame/runtime.hpp"

namespace sigmath::gen {

// Reduces a phase into [0, period). Rounding of a tiny negative remainder
// plus the period can give the period itself, which is the same point as 0.
inline double reduce(double phase, double period)
{
    double p = rt::fmod(phase, period);
    if (p < 0.0)
        p += period;
    if (p >= period)
        p = 0.0;
    return p;
}

} // namespace sigmath::gen

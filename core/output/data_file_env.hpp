// What the data files take from their surroundings: the regional number and
// date formats, the clock and the source of channel identifiers. Handed in so
// that nothing depends on global state and tests are deterministic.
#pragma once

#include "base/number_format.hpp"

#include <cstdint>
#include <functional>

namespace vibrolan {

struct DataFileEnv {
    NumberFormat numberFormat;
    // Current local date-time (days since 30 December 1899); empty = the system clock.
    std::function<double()> now;
    // Identifier of a new channel, 0..9999; empty = a pseudo-random generator.
    std::function<std::uint16_t()> nextHardId;

    double currentTime() const;
    std::uint16_t newHardId() const;
};

} // namespace vibrolan

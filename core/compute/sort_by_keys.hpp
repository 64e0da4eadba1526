// Exchange sort of a data array by 16-bit keys (used to put the blade series
// of a sensor pair into blade-number order; n is at most 255).
#pragma once

#include <cstdint>
#include <span>

namespace vibrolan {

// Reorders data[0 .. n-1] by ascending keys[0 .. n-1], n = data.size(); the
// keys themselves are not changed. Equal keys are not swapped with each other,
// but a smaller key passing them can change their relative order. keys shorter
// than data is refused with ValueError.
void SortByKeys(std::span<std::int32_t> data, std::span<const std::uint16_t> keys);

} // namespace vibrolan

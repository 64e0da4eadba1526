// The stream's 10-byte extended floats (64-bit mantissa with an explicit
// integer bit, 15-bit exponent) converted to and from double with integer
// arithmetic, so the result is the same on every platform and compiler.
#pragma once

#include <array>
#include <cstdint>

namespace vibrolan::config {

using ExtendedBytes = std::array<std::uint8_t, 10>;

// Exact: every double, denormals, infinities and NaNs included, has an extended image.
ExtendedBytes doubleToExtended(double value);

// Rounds to nearest, ties to even; too large gives infinity, too small a
// denormal or zero. Unnormal encodings are taken at their arithmetic value.
double extendedToDouble(const ExtendedBytes &bytes);

} // namespace vibrolan::config

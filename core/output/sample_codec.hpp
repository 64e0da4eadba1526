// Little-endian sample encoding of the data files.
#pragma once

#include <cstdint>
#include <string>

namespace vibrolan::datafiles {

// Decodes one stored sample (format 1, 2, 4 or 8) at p; other formats give 0.
double decodeSample(const std::uint8_t *p, std::uint8_t format);

// Encodes one value as a sample of format 2 (rounded to the nearest integer,
// ties to even), 4 or 8; other formats give no bytes. Throws ValueError when
// the value does not fit the format.
std::string encodeSample(double value, std::uint8_t format);

// `value` as a single, or 0 when it is not finite or beyond single range (the
// data files store a failed conversion as 0).
float toSingleOrZero(double value);

} // namespace vibrolan::datafiles

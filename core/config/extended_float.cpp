#include "config/extended_float.hpp"

#include <bit>
#include <cstring>

namespace vibrolan::config {

namespace {

constexpr std::uint64_t kFracMask = (std::uint64_t{1} << 52) - 1;
constexpr std::uint64_t kIntegerBit = std::uint64_t{1} << 63;

ExtendedBytes pack(std::uint64_t mantissa, unsigned signAndExponent)
{
    ExtendedBytes out{};
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<std::uint8_t>(mantissa >> (8 * i));
    out[8] = static_cast<std::uint8_t>(signAndExponent);
    out[9] = static_cast<std::uint8_t>(signAndExponent >> 8);
    return out;
}

double fromBits(std::uint64_t bits) { return std::bit_cast<double>(bits); }

// Drops the low `shift` bits of `value` rounding to nearest, ties to even (1 <= shift <= 64).
std::uint64_t shiftRightRounded(std::uint64_t value, int shift)
{
    const std::uint64_t kept = shift == 64 ? 0 : value >> shift;
    const std::uint64_t rest = shift == 64 ? value : value & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    if (rest > half || (rest == half && (kept & 1) != 0))
        return kept + 1;
    return kept;
}

} // namespace

ExtendedBytes doubleToExtended(double value)
{
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const unsigned sign = static_cast<unsigned>(bits >> 63) << 15;
    const int exponent = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & kFracMask;
    if (exponent == 0x7FF) // infinity, or NaN with its payload kept
        return pack(kIntegerBit | (fraction << 11), sign | 0x7FFF);
    if (exponent == 0) {
        if (fraction == 0)
            return pack(0, sign);
        // A double denormal is a normal extended number.
        const int lead = std::countl_zero(fraction);
        return pack(fraction << lead, sign | static_cast<unsigned>(15372 - lead));
    }
    return pack(kIntegerBit | (fraction << 11), sign | static_cast<unsigned>(exponent - 1023 + 16383));
}

double extendedToDouble(const ExtendedBytes &bytes)
{
    std::uint64_t mantissa = 0;
    for (int i = 7; i >= 0; --i)
        mantissa = (mantissa << 8) | bytes[i];
    const unsigned signAndExponent = bytes[8] | (static_cast<unsigned>(bytes[9]) << 8);
    const std::uint64_t sign = static_cast<std::uint64_t>(signAndExponent >> 15) << 63;
    const int exponent = static_cast<int>(signAndExponent & 0x7FFF);

    if (exponent == 0x7FFF) {
        std::uint64_t fraction = (mantissa >> 11) & kFracMask;
        if ((mantissa & ~kIntegerBit) == 0)
            return fromBits(sign | (std::uint64_t{0x7FF} << 52));
        if (fraction == 0) // payload only in the bits a double cannot keep: still a NaN
            fraction = std::uint64_t{1} << 51;
        return fromBits(sign | (std::uint64_t{0x7FF} << 52) | fraction);
    }
    if (mantissa == 0)
        return fromBits(sign);

    // value = mantissa * 2^lsbExponent; extended denormals use exponent 1.
    const int lead = std::countl_zero(mantissa);
    mantissa <<= lead;
    const int lsbExponent = (exponent == 0 ? 1 : exponent) - 16383 - 63 - lead;
    int unbiased = lsbExponent + 63;
    if (unbiased > 1023)
        return fromBits(sign | (std::uint64_t{0x7FF} << 52));
    if (unbiased >= -1022) {
        std::uint64_t q = shiftRightRounded(mantissa, 11);
        if (q == (std::uint64_t{1} << 53)) {
            q >>= 1;
            ++unbiased;
            if (unbiased > 1023)
                return fromBits(sign | (std::uint64_t{0x7FF} << 52));
        }
        return fromBits(sign | (static_cast<std::uint64_t>(unbiased + 1023) << 52) | (q & kFracMask));
    }
    // Denormal result: the value in units of 2^-1074. A carry into bit 52
    // yields the smallest normal number through the same encoding.
    const int shift = -1074 - lsbExponent;
    if (shift > 64)
        return fromBits(sign);
    return fromBits(sign | shiftRightRounded(mantissa, shift));
}

} // namespace vibrolan::config

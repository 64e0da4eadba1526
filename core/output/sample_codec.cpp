#include "output/sample_codec.hpp"

#include "base/errors.hpp"

#include <bit>
#include <cmath>
#include <limits>

namespace vibrolan::datafiles {

namespace {

std::uint64_t readLe(const std::uint8_t *p, int n)
{
    std::uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

std::string writeLe(std::uint64_t v, int n)
{
    std::string out(static_cast<std::size_t>(n), '\0');
    for (int i = 0; i < n; ++i)
        out[static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return out;
}

} // namespace

double decodeSample(const std::uint8_t *p, std::uint8_t format)
{
    switch (format) {
    case 1:
        return static_cast<std::int8_t>(p[0]);
    case 2:
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(readLe(p, 2)));
    case 4:
        return std::bit_cast<float>(static_cast<std::uint32_t>(readLe(p, 4)));
    case 8:
        return std::bit_cast<double>(readLe(p, 8));
    default:
        return 0;
    }
}

float toSingleOrZero(double value)
{
    if (!(std::fabs(value) <= static_cast<double>(std::numeric_limits<float>::max())))
        return 0.0f;
    return static_cast<float>(value);
}

std::string encodeSample(double value, std::uint8_t format)
{
    switch (format) {
    case 2: {
        const double r = std::nearbyint(value); // the default rounding mode: ties to even
        if (!(r >= -32768.0 && r <= 32767.0))
            throw ValueError("the value " + std::to_string(value) + " does not fit a 16-bit sample");
        return writeLe(static_cast<std::uint16_t>(static_cast<std::int16_t>(r)), 2);
    }
    case 4:
        if (std::isfinite(value) && std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max()))
            throw ValueError("the value " + std::to_string(value) + " does not fit a single sample");
        return writeLe(std::bit_cast<std::uint32_t>(static_cast<float>(value)), 4);
    case 8:
        return writeLe(std::bit_cast<std::uint64_t>(value), 8);
    default:
        return {};
    }
}

} // namespace vibrolan::datafiles

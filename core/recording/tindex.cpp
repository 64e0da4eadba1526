#include "recording/tindex.hpp"

namespace vibrolan {

std::int64_t Diff(std::uint32_t a, std::uint32_t b)
{
    const std::int64_t d = static_cast<std::int64_t>(a) - static_cast<std::int64_t>(b);
    if (a >= b || (static_cast<std::int64_t>(b) - a) <= (INT64_C(1) << 24))
        return d;
    return d + (INT64_C(1) << 32);
}

std::uint32_t CardDiff(std::uint32_t a, std::uint32_t b, bool &Backward)
{
    std::int64_t d = static_cast<std::int64_t>(a) - static_cast<std::int64_t>(b);
    if (a < b && (static_cast<std::int64_t>(b) - a) > (INT64_C(1) << 28))
        d += INT64_C(1) << 32;
    if (d < 0) {
        Backward = true;
        return 0;
    }
    Backward = false;
    return static_cast<std::uint32_t>(d);
}

} // namespace vibrolan

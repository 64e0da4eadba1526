#include "sim/lanes.hpp"

#include <cstring>

namespace vibrolan::sim {

VIBROLAN_TARGET_CLONES void divideAll(double *x, std::size_t n, double by)
{
    std::size_t i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        Lanes v;
        std::memcpy(&v, x + i, sizeof v);
        v /= by;
        std::memcpy(x + i, &v, sizeof v);
    }
    for (; i < n; ++i)
        x[i] /= by;
}

} // namespace vibrolan::sim

// Shared walk of the periodic symmetric windows: x[0] by w(0), the pairs
// x[k], x[n - k] by w(k) with the angle grown by additions, and the middle of
// an even length left to the caller (its weight is 1 for every fixed window).
#pragma once

#include <cstdint>

namespace sigmath::win {

// Last k of the pair loop: n/2 - 1 for even n, (n - 1)/2 for odd n.
inline int32_t lastPairIndex(int32_t n) { return (n % 2 == 0) ? n / 2 - 1 : (n - 1) / 2; }

// weight(theta) is called with theta = k * step accumulated by additions.
template <class Weight> void applySymmetric(double *x, int32_t n, double step, double w0, Weight weight)
{
    x[0] *= w0;
    const int32_t last = lastPairIndex(n);
    double theta = 0.0;
    for (int32_t k = 1; k <= last; ++k) {
        theta += step;
        const double w = weight(theta);
        x[k] *= w;
        x[n - k] *= w;
    }
}

} // namespace sigmath::win

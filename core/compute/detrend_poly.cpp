#include "compute/detrend_poly.hpp"

#include "base/errors.hpp"

#include <sigmath/fit.h>

#include <array>
#include <cstdint>
#include <vector>

namespace vibrolan {

void DetrendPoly(std::span<const float> x, std::span<float> y, std::span<float> trend)
{
    const std::size_t n = y.size();
    if (x.size() < n || trend.size() < n)
        throw ValueError("DetrendPoly: abscissa or trend shorter than the ordinate");
    if (n == 0)
        return;
    if (n > static_cast<std::size_t>(INT32_MAX))
        throw ValueError("DetrendPoly: series too long for the fit");

    std::vector<double> xd(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(n));
    std::vector<double> yd(y.begin(), y.end());
    std::vector<double> fitted(n, 0.0);
    std::array<double, 3> coef{};
    double mse = 0;
    // The status is deliberately not acted upon: the arrays are used as left.
    (void)PolyFit(xd.data(), yd.data(), static_cast<std::int32_t>(n), 2, fitted.data(), coef.data(), &mse);

    for (std::size_t i = 0; i < n; ++i) {
        trend[i] = static_cast<float>(fitted[i]);
        y[i] = static_cast<float>(yd[i] - static_cast<double>(trend[i]));
    }
}

} // namespace vibrolan

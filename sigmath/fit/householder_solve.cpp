// Least squares by Householder QR (algorithm 3).
#include "fit/solvers.hpp"

#include "frame/runtime.hpp"
#include "frame/status.hpp"

#include <cstddef>

namespace sigmath::fit {

void solveHouseholder(double *aData, double *b, int32_t n, int32_t k, double *coef)
{
    const std::size_t m = static_cast<std::size_t>(n);
    const std::size_t cols = static_cast<std::size_t>(k);
    auto a = [aData, cols](std::size_t r, std::size_t c) -> double & { return aData[r * cols + c]; };
    // One reflection at a time; dots[q] collects v . column q, and the last
    // slot v . b, in a single pass over the rows.
    double dots[kMaxCoefficients + 1];
    for (std::size_t j = 0; j < cols; ++j) {
        double scale = 0.0;
        for (std::size_t r = j; r < m; ++r)
            scale += rt::fabs(a(r, j));
        if (scale == 0.0) {
            a(j, j) = 0.0;
            continue;
        }
        double sumSq = 0.0;
        for (std::size_t r = j; r < m; ++r) {
            a(r, j) /= scale;
            sumSq += a(r, j) * a(r, j);
        }
        const double norm = rt::sqrt(sumSq);
        const double sign = a(j, j) >= 0.0 ? 1.0 : -1.0;
        // v = column j with v_j = a_jj + sign*norm; v.v / 2 = norm*(norm + |a_jj|).
        const double beta = norm * (norm + rt::fabs(a(j, j)));
        a(j, j) += sign * norm;
        for (std::size_t q = j + 1; q <= cols; ++q)
            dots[q] = 0.0;
        for (std::size_t r = j; r < m; ++r) {
            const double vr = a(r, j);
            for (std::size_t q = j + 1; q < cols; ++q)
                dots[q] += vr * a(r, q);
            dots[cols] += vr * b[r];
        }
        for (std::size_t q = j + 1; q <= cols; ++q)
            dots[q] /= beta;
        for (std::size_t r = j; r < m; ++r) {
            const double vr = a(r, j);
            for (std::size_t q = j + 1; q < cols; ++q)
                a(r, q) -= dots[q] * vr;
            b[r] -= dots[cols] * vr;
        }
        a(j, j) = -sign * norm * scale;
    }
    for (std::size_t j = cols; j-- > 0;) {
        double sum = b[j];
        for (std::size_t q = j + 1; q < cols; ++q)
            sum -= a(j, q) * coef[q];
        coef[j] = sum / a(j, j);
    }
}

} // namespace sigmath::fit

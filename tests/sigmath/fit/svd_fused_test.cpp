#include "sigmath/fit.h"
#include "sigmath/frame.h"

#include "sigmath/fit/svd_reference.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace {

// Equal bits, or both NaN: which NaN an operation with two NaN operands
// returns depends on how the compiler ordered them, not on the algorithm.
bool sameBits(double a, double b)
{
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b) ||
           (std::isnan(a) && std::isnan(b));
}

// The SVD path of the coefficient fit against the one-pass-per-step solve,
// over shapes from the smallest to long quadratic fits, rank-deficient
// matrices (zero columns, zero rows, repeated columns) and non-finite entries.
TEST(SvdSolve, FusedPassesGiveThePlainSolveBitForBit)
{
    std::mt19937_64 gen(2385);
    std::uniform_real_distribution<double> u(-3.7, 2.9);
    struct Shape {
        int rows, cols;
    };
    const std::vector<Shape> shapes = {{1, 1}, {2, 1}, {2, 2},  {3, 3},   {4, 3},   {7, 3},    {50, 3},
                                       {5, 2}, {9, 4}, {40, 6}, {13, 13}, {300, 3}, {3000, 3}, {64, 9}};
    for (const Shape &sh : shapes)
        for (int variant = 0; variant < 7; ++variant) {
            const std::size_t m = sh.rows, k = sh.cols;
            std::vector<double> h(m * k), y(m);
            for (std::size_t r = 0; r < m; ++r) {
                const double x = u(gen) * 1000.0;
                double p = 1.0;
                for (std::size_t j = 0; j < k; ++j) {
                    h[r * k + j] = variant == 1 ? u(gen) : p;
                    p *= x;
                }
                y[r] = u(gen);
            }
            if (variant == 2)
                for (std::size_t r = 0; r < m; ++r)
                    h[r * k + k - 1] = 0.0; // a zero column
            if (variant == 3 && k > 1)
                for (std::size_t r = 0; r < m; ++r)
                    h[r * k + 1] = h[r * k]; // repeated columns
            if (variant == 4)
                for (std::size_t j = 0; j < k; ++j)
                    h[j] = 0.0; // a zero first row
            if (variant == 5)
                h[(m / 2) * k] = std::numeric_limits<double>::quiet_NaN();
            if (variant == 6)
                for (double &v : h)
                    v *= 1e-160; // tiny entries: squares underflow
            std::vector<double> coef(k, -7.0), ref(k, -7.0);
            const int32_t status = GenLSFitCoef(h.data(), (int32_t)m, (int32_t)k, y.data(), coef.data(), 0);
            std::vector<double> hc = h, yc = y;
            const int32_t refStatus =
                svd_reference::solveSvdReference(hc.data(), yc.data(), (int32_t)m, (int32_t)k, ref.data());
            ASSERT_EQ(status == SM_NO_ERROR, refStatus == 0) << m << "x" << k << " variant " << variant;
            if (status == SM_NO_ERROR)
                for (std::size_t j = 0; j < k; ++j)
                    ASSERT_TRUE(sameBits(coef[j], ref[j]))
                        << m << "x" << k << " variant " << variant << " coefficient " << j << ": " << coef[j]
                        << " vs " << ref[j];
        }
}

} // namespace

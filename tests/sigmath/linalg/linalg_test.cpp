#include "sigmath/frame.h"
#include "sigmath/linalg.h"

#include "sigmath/fit/allocation_sweep.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>
#include <vector>

namespace {

constexpr double kSentinel = -7.77e77;

std::vector<double> randomMatrix(std::size_t rows, std::size_t cols, unsigned seed)
{
    std::mt19937_64 gen(seed);
    std::uniform_real_distribution<double> entry(-2.385, 3.141);
    std::vector<double> m(rows * cols);
    for (double &v : m)
        v = entry(gen);
    return m;
}

// Plain triple loop, the obvious definition.
std::vector<double> product(const std::vector<double> &a, const std::vector<double> &b, std::size_t m,
                            std::size_t n, std::size_t p)
{
    std::vector<double> c(m * p, 0.0);
    for (std::size_t i = 0; i < m; ++i)
        for (std::size_t j = 0; j < p; ++j) {
            long double s = 0.0L;
            for (std::size_t q = 0; q < n; ++q)
                s += (long double)a[i * n + q] * b[q * p + j];
            c[i * p + j] = (double)s;
        }
    return c;
}

TEST(MatrixMul, RectangularProductAndAliasing)
{
    const std::vector<double> a = randomMatrix(4, 3, 1u);
    const std::vector<double> b = randomMatrix(3, 5, 2u);
    std::vector<double> c(20, kSentinel);
    ASSERT_EQ(MatrixMul(a.data(), b.data(), 4, 3, 5, c.data()), SM_NO_ERROR);
    const std::vector<double> expected = product(a, b, 4, 3, 5);
    for (std::size_t i = 0; i < c.size(); ++i)
        EXPECT_NEAR(c[i], expected[i], 1e-13);

    // Square A * A written over A itself.
    std::vector<double> sq = randomMatrix(3, 3, 3u);
    const std::vector<double> sqExpected = product(sq, sq, 3, 3, 3);
    ASSERT_EQ(MatrixMul(sq.data(), sq.data(), 3, 3, 3, sq.data()), SM_NO_ERROR);
    for (std::size_t i = 0; i < sq.size(); ++i)
        EXPECT_NEAR(sq[i], sqExpected[i], 1e-13);
}

TEST(MatrixMul, CountsBelowOneAreRejected)
{
    const std::vector<double> a(4, 1.0);
    std::vector<double> c(4, kSentinel);
    for (auto [m, n, p] : {std::tuple{0, 2, 2}, {2, 0, 2}, {2, 2, -1}})
        EXPECT_EQ(MatrixMul(a.data(), a.data(), m, n, p, c.data()), SM_ERR_SAMPLES_GT_ZERO);
    EXPECT_THAT(c, ::testing::Each(kSentinel));
}

TEST(InvMatrix, InverseTimesMatrixIsIdentity)
{
    for (std::size_t n : {1u, 2u, 5u, 17u}) {
        const std::vector<double> a = randomMatrix(n, n, 40u + n);
        std::vector<double> inv(n * n, kSentinel);
        ASSERT_EQ(InvMatrix(a.data(), (int32_t)n, (int32_t)n, inv.data()), SM_NO_ERROR);
        const std::vector<double> id = product(a, inv, n, n, n);
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j)
                EXPECT_NEAR(id[i * n + j], i == j ? 1.0 : 0.0, 1e-11) << "n=" << n;
    }
    // In place, and with a zero in the leading position (pivoting needed).
    std::vector<double> a{0.0, 2.385, 1.5, -0.75};
    ASSERT_EQ(InvMatrix(a.data(), 2, 2, a.data()), SM_NO_ERROR);
    const double det = 0.0 * -0.75 - 2.385 * 1.5;
    EXPECT_NEAR(a[0], -0.75 / det, 1e-15);
    EXPECT_NEAR(a[1], -2.385 / det, 1e-15);
    EXPECT_NEAR(a[2], -1.5 / det, 1e-15);
    EXPECT_NEAR(a[3], 0.0, 1e-15);
}

TEST(InvMatrix, ErrorsInOrderAndNothingWritten)
{
    // Rows 0 and 2 are equal: exactly singular.
    const std::vector<double> singular{1.5, -2.25, 0.5, 3.0, 1.0, 4.0, 1.5, -2.25, 0.5};
    struct Case {
        int32_t rows;
        int32_t cols;
        int32_t expected;
    } const cases[] = {
        {0, 3, SM_ERR_SAMPLES_GT_ZERO}, {3, 0, SM_ERR_SAMPLES_GT_ZERO}, {0, 2, SM_ERR_SAMPLES_GT_ZERO},
        {3, 2, SM_ERR_SQUARE},          {1, 3, SM_ERR_SQUARE},          {3, 3, SM_ERR_SINGULAR},
    };
    for (const Case &c : cases) {
        std::vector<double> inv(9, kSentinel);
        EXPECT_EQ(InvMatrix(singular.data(), c.rows, c.cols, inv.data()), c.expected)
            << c.rows << "x" << c.cols;
        EXPECT_THAT(inv, ::testing::Each(kSentinel));
    }
    std::vector<double> inPlace = singular;
    EXPECT_EQ(InvMatrix(inPlace.data(), 3, 3, inPlace.data()), SM_ERR_SINGULAR);
    EXPECT_EQ(inPlace, singular);
}

TEST(LU, FactorsSolveALinearSystem)
{
    const std::size_t n = 6;
    const std::vector<double> a = randomMatrix(n, n, 77u);
    const std::vector<double> xTrue = randomMatrix(n, 1, 78u);
    const std::vector<double> b = product(a, xTrue, n, n, 1);

    std::vector<double> lu = a;
    std::vector<int32_t> perm(n);
    int32_t sign = 0;
    ASSERT_EQ(LU(lu.data(), (int32_t)n, perm.data(), &sign), SM_NO_ERROR);
    EXPECT_TRUE(sign == 1 || sign == -1);
    EXPECT_THAT(perm, ::testing::UnorderedElementsAre(0, 1, 2, 3, 4, 5));

    std::vector<double> x(n);
    for (std::size_t i = 0; i < n; ++i)
        x[i] = b[perm[i]];
    ASSERT_EQ(ForwSub(lu.data(), x.data(), (int32_t)n, x.data()), SM_NO_ERROR);
    ASSERT_EQ(BackSub(lu.data(), x.data(), (int32_t)n, x.data()), SM_NO_ERROR);
    for (std::size_t i = 0; i < n; ++i)
        EXPECT_NEAR(x[i], xTrue[i], 1e-12);

    // Parity: one swap of two rows of the identity gives -1.
    std::vector<double> swapped{0.0, 1.0, 1.0, 0.0};
    std::vector<int32_t> p2(2);
    ASSERT_EQ(LU(swapped.data(), 2, p2.data(), &sign), SM_NO_ERROR);
    EXPECT_EQ(sign, -1);
    EXPECT_THAT(p2, ::testing::ElementsAre(1, 0));
}

TEST(LU, SingularAndCountErrors)
{
    std::vector<double> zeroColumn{0.0, 1.0, 0.0, 2.0};
    std::vector<int32_t> perm(2);
    EXPECT_EQ(LU(zeroColumn.data(), 2, perm.data(), nullptr), SM_ERR_SINGULAR);
    EXPECT_EQ(LU(zeroColumn.data(), 0, perm.data(), nullptr), SM_ERR_SAMPLES_GT_ZERO);

    const std::vector<double> u{2.0, 1.0, 0.0, 0.0}; // zero on the diagonal
    std::vector<double> x(2, kSentinel);
    const std::vector<double> b{1.0, 1.0};
    EXPECT_EQ(BackSub(u.data(), b.data(), 2, x.data()), SM_ERR_SINGULAR);
    EXPECT_EQ(BackSub(u.data(), b.data(), 0, x.data()), SM_ERR_SAMPLES_GT_ZERO);
    EXPECT_EQ(ForwSub(u.data(), b.data(), -1, x.data()), SM_ERR_SAMPLES_GT_ZERO);
    EXPECT_THAT(x, ::testing::Each(kSentinel));
}

TEST(LinalgAllocationFailure, InvMatrixAndAliasedMatrixMul)
{
    const std::vector<double> a = randomMatrix(4, 4, 5u);
    std::vector<double> inv(16);
    EXPECT_EQ(fit_test::expectCleanAllocationFailures([&] { return InvMatrix(a.data(), 4, 4, inv.data()); }),
              4);
    std::vector<double> sq = a;
    EXPECT_EQ(fit_test::expectCleanAllocationFailures(
                  [&] { return MatrixMul(sq.data(), a.data(), 4, 4, 4, sq.data()); }),
              1);
}

} // namespace

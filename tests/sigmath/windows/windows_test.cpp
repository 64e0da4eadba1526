// Windows checked against their textbook periodic definitions, the exact
// weights at the ends and middle, the constants of ScaledWindow, and the
// argument checks (which must leave the array untouched).
#include "sigmath/windows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr double kFill = 2.385;
constexpr double kPi = std::numbers::pi;

std::vector<double> filled(int n, double v = kFill) { return std::vector<double>(static_cast<size_t>(n), v); }

// Periodic cosine-sum window in the cos(j theta) form, theta = 2 pi k / n.
double cosineSum(std::initializer_list<double> a, int k, int n)
{
    const double theta = 2.0 * kPi * k / n;
    double w = 0.0;
    int j = 0;
    for (double aj : a) {
        w += ((j % 2 == 0) ? aj : -aj) * std::cos(j * theta);
        ++j;
    }
    return w;
}

struct FixedWindow {
    std::string name;
    std::function<int32_t(double *, int32_t)> apply;
    std::function<double(int, int)> reference;
    double w0; // the exact weight of x[0]
};

std::vector<FixedWindow> fixedWindows()
{
    return {
        {"HanWin", HanWin,
         [](int k, int n) {
             return cosineSum({0.5, 0.5}, k, n);
         },
         0.0},
        {"HamWin", HamWin,
         [](int k, int n) {
             return cosineSum({0.54, 0.46}, k, n);
         },
         0.08},
        {"BkmanWin", BkmanWin,
         [](int k, int n) {
             return cosineSum({0.42, 0.5, 0.08}, k, n);
         },
         -1.3877787807814457e-17},
        {"ExBkmanWin", ExBkmanWin,
         [](int k, int n) {
             return cosineSum({7938.0 / 18608, 9240.0 / 18608, 1430.0 / 18608}, k, n);
         },
         0.006878761822871883},
        {"BlkHarrisWin", BlkHarrisWin,
         [](int k, int n) {
             return cosineSum({0.42323, 0.49755, 0.07922}, k, n);
         },
         0.004900000000000002},
        {"FlatTopWin", FlatTopWin,
         [](int k, int n) {
             return cosineSum({0.2810638602, 0.5208971735, 0.1980389663}, k, n);
         },
         -0.041794346999999954},
        {"TriWin", TriWin,
         [](int k, int n) {
             const int half = n / 2;
             const int d = (k <= n - k) ? k : n - k;
             return static_cast<double>(d) / half;
         },
         0.0},
    };
}

TEST(FixedWindows, MatchPeriodicDefinitionWithExactEndsAndUntouchedMiddle)
{
    for (const auto &win : fixedWindows()) {
        for (int n : {2, 3, 8, 9, 64, 101}) {
            SCOPED_TRACE(win.name + " n=" + std::to_string(n));
            auto x = filled(n);
            ASSERT_EQ(win.apply(x.data(), n), 0);
            EXPECT_EQ(x[0], kFill * win.w0);
            for (int k = 1; k < n; ++k)
                EXPECT_NEAR(x[static_cast<size_t>(k)], kFill * win.reference(k, n), 1e-13) << "k=" << k;
            // The pairs share one weight exactly, and the middle keeps its value.
            for (int k = 1; k < n - k; ++k)
                EXPECT_EQ(x[static_cast<size_t>(k)], x[static_cast<size_t>(n - k)]);
            if (n % 2 == 0) {
                EXPECT_EQ(x[static_cast<size_t>(n / 2)], kFill);
            }
        }
    }
}

TEST(FixedWindows, SingleSampleGetsOnlyTheEndWeight)
{
    for (const auto &win : fixedWindows()) {
        SCOPED_TRACE(win.name);
        double x = kFill;
        ASSERT_EQ(win.apply(&x, 1), 0);
        EXPECT_EQ(x, kFill * win.w0);
    }
}

TEST(FixedWindows, HammingOfFourOnes)
{
    std::vector<double> x{1, 1, 1, 1};
    ASSERT_EQ(HamWin(x.data(), 4), 0);
    const double expected[] = {0.08, 0.54, 1.0, 0.54};
    for (size_t i = 0; i < 4; ++i)
        EXPECT_NEAR(x[i], expected[i], 1e-15) << i;
}

TEST(GenCosWin, ReproducesHanningAndScalesTheMiddleBySumOfCoefficients)
{
    const double hann[] = {0.5, 0.5};
    for (int n : {7, 10}) {
        auto a = filled(n), b = filled(n);
        ASSERT_EQ(GenCosWin(a.data(), n, hann, 2), 0);
        ASSERT_EQ(HanWin(b.data(), n), 0);
        for (size_t i = 0; i < a.size(); ++i)
            EXPECT_NEAR(a[i], b[i], 1e-15);
    }
    // A single coefficient is a constant weight everywhere, the middle included.
    const double gain[] = {1.75};
    auto x = filled(6);
    ASSERT_EQ(GenCosWin(x.data(), 6, gain, 1), 0);
    for (double v : x)
        EXPECT_DOUBLE_EQ(v, kFill * 1.75);
    // Coefficients that do not sum to 1 show in the middle of an even length.
    const double skew[] = {0.6, 0.3, 0.2};
    x = filled(8);
    ASSERT_EQ(GenCosWin(x.data(), 8, skew, 3), 0);
    EXPECT_DOUBLE_EQ(x[4], kFill * 1.1);
    EXPECT_DOUBLE_EQ(x[0], kFill * (0.6 - 0.3 + 0.2));
}

TEST(KsrWin, MatchesBesselDefinition)
{
    for (double beta : {0.0, 2.385, 8.6, -3.1}) {
        for (int n : {9, 16}) {
            SCOPED_TRACE("beta=" + std::to_string(beta) + " n=" + std::to_string(n));
            auto x = filled(n);
            ASSERT_EQ(KsrWin(x.data(), n, beta), 0);
            const double i0 = std::cyl_bessel_i(0.0, std::fabs(beta));
            for (int k = 0; k < n; ++k) {
                const double u = 1.0 - 2.0 * k / n;
                const double w = std::cyl_bessel_i(0.0, std::fabs(beta) * std::sqrt(1.0 - u * u)) / i0;
                // The series stops at a term of 1e-8, relative to I0(beta) >= 1.
                EXPECT_NEAR(x[static_cast<size_t>(k)], kFill * w, 1e-7) << "k=" << k;
            }
        }
    }
}

TEST(CosTaperedWin, TapersTenthAtEachEnd)
{
    const int n = 40; // m = 4
    auto x = filled(n);
    ASSERT_EQ(CosTaperedWin(x.data(), n), 0);
    EXPECT_EQ(x[0], 0.0);
    EXPECT_EQ(x[n - 1], 0.0);
    for (int k = 1; k < 4; ++k) {
        const double s = std::sin(k * kPi / 8.0);
        EXPECT_NEAR(x[static_cast<size_t>(k)], kFill * s * s, 1e-15);
        EXPECT_NEAR(x[static_cast<size_t>(n - 1 - k)], kFill * s * s, 1e-15);
    }
    for (int k = 4; k < n - 4; ++k)
        EXPECT_EQ(x[static_cast<size_t>(k)], kFill);
}

TEST(CosTaperedWin, ShortRecordsAreLeftAloneWithoutError)
{
    for (int n : {9, 1, 0, -4}) {
        auto x = filled(9);
        EXPECT_EQ(CosTaperedWin(x.data(), n), 0) << n;
        EXPECT_EQ(x, filled(9)) << n;
    }
}

TEST(ExpWin, RunsFromOneToFinalValue)
{
    auto x = filled(5);
    ASSERT_EQ(ExpWin(x.data(), 5, 0.125), 0);
    for (int k = 0; k < 5; ++k)
        EXPECT_NEAR(x[static_cast<size_t>(k)], kFill * std::pow(0.125, k / 4.0), 1e-14);
    // A final value of zero keeps the first sample (weight e^0) and clears the rest.
    x = filled(4);
    ASSERT_EQ(ExpWin(x.data(), 4, 0.0), 0);
    EXPECT_EQ(x, (std::vector<double>{kFill, 0.0, 0.0, 0.0}));
}

TEST(ForceWin, DutyIsClampedToTheRecord)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double duty;
        int kept;
    };
    for (const Case c : {Case{50.0, 5}, Case{37.9, 3}, Case{150.0, 10}, Case{100.0, 10}, Case{-5.0, 0},
                         Case{0.0, 0}, Case{1e300, 10}, Case{nan, 10}}) {
        auto x = filled(10);
        ASSERT_EQ(ForceWin(x.data(), 10, c.duty), 0);
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(x[static_cast<size_t>(i)], i < c.kept ? kFill : 0.0) << "duty=" << c.duty << " i=" << i;
    }
}

TEST(ScaledWindow, HanningOfFourOnes)
{
    std::vector<double> x{1, 1, 1, 1};
    ScaledWindowConstants c{};
    ASSERT_EQ(ScaledWindow(x.data(), 4, 1, &c), 0);
    const double expected[] = {0.0, 1.0, 2.0, 1.0};
    for (size_t i = 0; i < 4; ++i)
        EXPECT_NEAR(x[i], expected[i], 1e-15) << i;
    EXPECT_EQ(c.enbw, 1.5);
    EXPECT_EQ(c.coherentGain, 0.5);
}

// The record is checked against the window actually applied: after scaling the
// mean weight is 1, and n * sum(w^2) / sum(w)^2 is the noise bandwidth.
TEST(ScaledWindow, ConstantsDescribeTheAppliedWindow)
{
    const int n = 4096;
    for (int selector : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, -1}) {
        SCOPED_TRACE("selector=" + std::to_string(selector));
        auto x = filled(n, 1.0);
        ScaledWindowConstants c{};
        ASSERT_EQ(ScaledWindow(x.data(), n, selector, &c), 0);
        double sum = 0.0, sum2 = 0.0;
        for (double v : x) {
            sum += v;
            sum2 += v * v;
        }
        EXPECT_NEAR(sum / n, 1.0, 1e-6);
        EXPECT_NEAR(n * sum2 / (sum * sum), c.enbw, 0.003 * c.enbw);
    }
}

TEST(ScaledWindow, EmptyRecordOnlyWritesTheConstants)
{
    ScaledWindowConstants c{-1.0, -1.0};
    EXPECT_EQ(ScaledWindow(nullptr, 0, 2, &c), 0);
    EXPECT_EQ(c.enbw, 1.36);
    EXPECT_EQ(c.coherentGain, 0.54);
}

TEST(Windows, ArgumentErrorsLeaveArrayUntouched)
{
    const double coef[] = {0.5, 0.5};
    struct Case {
        std::string name;
        std::function<int32_t(double *, int32_t)> call;
        int32_t n;
        int32_t code;
    };
    const std::vector<Case> cases{
        {"HanWin", HanWin, 0, -20003},
        {"HamWin", HamWin, -1, -20003},
        {"BkmanWin", BkmanWin, 0, -20003},
        {"ExBkmanWin", ExBkmanWin, 0, -20003},
        {"BlkHarrisWin", BlkHarrisWin, 0, -20003},
        {"FlatTopWin", FlatTopWin, 0, -20003},
        {"TriWin", TriWin, 0, -20003},
        {"KsrWin", [](double *x, int32_t n) { return KsrWin(x, n, 2.385); }, 0, -20003},
        {"GenCosWin n", [&](double *x, int32_t n) { return GenCosWin(x, n, coef, 2); }, 0, -20003},
        {"GenCosWin k", [&](double *x, int32_t) { return GenCosWin(x, 4, coef, 0); }, 4, -20003},
        {"ExpWin", [](double *x, int32_t n) { return ExpWin(x, n, 0.5); }, 1, -20006},
        {"ForceWin", [](double *x, int32_t n) { return ForceWin(x, n, 50.0); }, 1, -20006},
        {"ScaledWindow",
         [](double *x, int32_t n) {
             ScaledWindowConstants c{-7.0, -7.0};
             const int32_t rc = ScaledWindow(x, n, 1, &c);
             EXPECT_EQ(c.enbw, -7.0);
             return rc;
         },
         -1, -20004},
    };
    for (const auto &c : cases) {
        auto x = filled(4);
        EXPECT_EQ(c.call(x.data(), c.n), c.code) << c.name;
        EXPECT_EQ(x, filled(4)) << c.name;
    }
}

} // namespace

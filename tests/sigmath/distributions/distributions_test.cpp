// Distributions against closed forms, the bracket property of the inverses,
// and the validation order. Worst errors measured over the sweeps below
// (the bounds asserted are these, rounded up):
//   N_Dist vs erfc, x in [-8, 8]:             1.15e-5 (near x = -0.53)
//   InvN_Dist vs exact quantile, p in (0, 1): 4.44e-4 (near p = 0.36)
//   T_Dist, df 1 (Cauchy), t in [-200, 200]:  3.5e-10
//   T_Dist, df 2, t in [-200, 200]:           6.6e-10
//   F_Dist, df (2, 2) and (1, 1):             5e-12
//   XX_Dist, df 2:                            1.1e-16; df 1 and 3: 2.29e-5
//   InvT/InvF/InvXX minus exact quantile:     within [-7.44e-5, 0]
#include "sigmath/distributions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr double kPi = std::numbers::pi;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

double exactNormal(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

// Worst |f(v) - exact(v)| over [from, to] in the given step.
double worstError(double from, double to, double step, const std::function<double(double)> &f,
                  const std::function<double(double)> &exact)
{
    double worst = 0.0;
    for (double v = from; v <= to; v += step)
        worst = std::max(worst, std::fabs(f(v) - exact(v)));
    return worst;
}

double nDist(double x)
{
    double p = kNaN;
    EXPECT_EQ(N_Dist(x, &p), 0);
    return p;
}

TEST(Normal, AgreesWithErfcToTheApproximationsAccuracy)
{
    EXPECT_LT(worstError(-8.0, 8.0, 0.0005, nDist, exactNormal), 1.2e-5);
    EXPECT_DOUBLE_EQ(nDist(0.0), 1.0 - 0.3989422 * (0.4361836 - 0.1201676 + 0.937298));
    EXPECT_NEAR(nDist(0.0), 0.5, 2e-7); // 0.50000016
    EXPECT_EQ(nDist(-kInf), 0.0);
    EXPECT_EQ(nDist(kInf), 1.0);
    for (double x : {0.3, 1.7, 2.385, 6.0})
        EXPECT_NEAR(nDist(x) + nDist(-x), 1.0, 1e-15);
}

TEST(Normal, InverseAgreesWithExactQuantile)
{
    double worst = 0.0;
    for (double p = 1e-6; p < 1.0; p += (p < 0.01 || p > 0.99) ? 1e-5 : 1e-4) {
        double x = kNaN;
        ASSERT_EQ(InvN_Dist(p, &x), 0);
        double lo = -40, hi = 40; // exact quantile by bisection on erfc
        for (int i = 0; i < 80; ++i)
            (exactNormal((lo + hi) / 2) < p ? lo : hi) = (lo + hi) / 2;
        worst = std::max(worst, std::fabs(x - lo));
    }
    EXPECT_LT(worst, 4.5e-4);
}

double tDist(double t, int32_t df)
{
    double p = kNaN;
    EXPECT_EQ(T_Dist(t, df, &p), 0);
    return p;
}

TEST(StudentT, ClosedFormsForOneAndTwoDegrees)
{
    // One degree of freedom is the Cauchy distribution.
    EXPECT_LT(worstError(
                  -200, 200, 0.001, [](double t) { return tDist(t, 1); },
                  [](double t) { return 0.5 + std::atan(t) / kPi; }),
              1e-9);
    EXPECT_LT(worstError(
                  -200, 200, 0.001, [](double t) { return tDist(t, 2); },
                  [](double t) { return 0.5 + t / (2.0 * std::sqrt(2.0 + t * t)); }),
              1e-9);
    for (int32_t df : {1, 2, 7, 30, 1000, 2147483647})
        EXPECT_EQ(tDist(0.0, df), 0.5) << df;
    EXPECT_EQ(tDist(kInf, 3), 1.0);
    EXPECT_EQ(tDist(-kInf, 3), 0.0);
    // Many degrees of freedom approach the normal distribution.
    EXPECT_NEAR(tDist(1.96, 100000), exactNormal(1.96), 1e-5);
}

double fDist(double f, int32_t df1, int32_t df2)
{
    double p = kNaN;
    EXPECT_EQ(F_Dist(f, df1, df2, &p), 0);
    return p;
}

TEST(FisherF, ClosedFormsAndLowerEnd)
{
    EXPECT_LT(worstError(
                  0.0001, 1000, 0.0137, [](double f) { return fDist(f, 2, 2); },
                  [](double f) { return f / (1.0 + f); }),
              1e-10);
    EXPECT_LT(worstError(
                  0.0001, 1000, 0.0137, [](double f) { return fDist(f, 1, 1); },
                  [](double f) { return 2.0 / kPi * std::atan(std::sqrt(f)); }),
              1e-9);
    // F(1, df) is the square of t(df).
    EXPECT_NEAR(fDist(2.385 * 2.385, 1, 9), 2.0 * tDist(2.385, 9) - 1.0, 1e-9);
    EXPECT_EQ(fDist(0.0, 3, 4), 0.0);
    EXPECT_EQ(fDist(-2.385, 3, 4), 0.0);
    EXPECT_EQ(fDist(kInf, 3, 4), 1.0);
}

double xxDist(double x, int32_t df)
{
    double p = kNaN;
    EXPECT_EQ(XX_Dist(x, df, &p), 0);
    return p;
}

TEST(ChiSquare, ClosedFormsByParity)
{
    for (double x : {0.001, 0.5, 2.385, 9.7, 40.0})
        EXPECT_NEAR(xxDist(x, 2), 1.0 - std::exp(-x / 2.0), 2e-16) << x;
    EXPECT_LT(worstError(
                  0.0001, 200, 0.0007, [](double x) { return xxDist(x, 2); },
                  [](double x) { return -std::expm1(-x / 2.0); }),
              2e-16);
    EXPECT_LT(worstError(
                  0.0001, 200, 0.0007, [](double x) { return xxDist(x, 1); },
                  [](double x) { return std::erf(std::sqrt(x / 2.0)); }),
              2.5e-5);
    EXPECT_LT(worstError(
                  0.0001, 200, 0.0007, [](double x) { return xxDist(x, 3); },
                  [](double x) {
                      return std::erf(std::sqrt(x / 2.0)) - std::sqrt(2.0 * x / kPi) * std::exp(-x / 2.0);
                  }),
              2.5e-5);
    EXPECT_LT(worstError(
                  0.0001, 200, 0.0007, [](double x) { return xxDist(x, 6); },
                  [](double x) { return 1.0 - std::exp(-x / 2.0) * (1.0 + x / 2.0 + x * x / 8.0); }),
              1e-15);
    for (int32_t df : {1, 2, 5, 8}) {
        EXPECT_EQ(xxDist(0.0, df), 0.0);
        EXPECT_EQ(xxDist(-2.385, df), 0.0);
        EXPECT_EQ(xxDist(kInf, df), 1.0);
    }
    // Huge degrees of freedom: far below the mean the probability is 0.
    EXPECT_NEAR(xxDist(50.0, 2147483646), 0.0, 1e-12);
    EXPECT_NEAR(xxDist(50.0, 2147483647), 0.0, 1e-5);
}

// Each inverse returns the lower end of its final bracket: the forward
// distribution there is below p, and 1e-4 higher it has reached p.
TEST(Inverses, ReturnLowerBracketEndWithinTheExactQuantile)
{
    struct Case {
        std::string name;
        std::function<int32_t(double, double *)> inverse;
        std::function<double(double)> forward;
        std::function<double(double)> exact;
    };
    const std::vector<Case> cases{
        {"InvT df 1", [](double p, double *r) { return InvT_Dist(p, 1, r); },
         [](double t) { return tDist(t, 1); }, [](double p) { return std::tan(kPi * (p - 0.5)); }},
        {"InvT df 2", [](double p, double *r) { return InvT_Dist(p, 2, r); },
         [](double t) { return tDist(t, 2); },
         [](double p) { return (2 * p - 1) * std::sqrt(2.0 / (4 * p * (1 - p))); }},
        {"InvF 2,2", [](double p, double *r) { return InvF_Dist(p, 2, 2, r); },
         [](double f) { return fDist(f, 2, 2); }, [](double p) { return p / (1 - p); }},
        {"InvXX df 2", [](double p, double *r) { return InvXX_Dist(p, 2, r); },
         [](double x) { return xxDist(x, 2); }, [](double p) { return -2.0 * std::log1p(-p); }},
    };
    for (const auto &c : cases) {
        for (double p : {0.001, 0.05, 0.2385, 0.5, 0.75, 0.95, 0.998}) {
            SCOPED_TRACE(c.name + " p=" + std::to_string(p));
            double v = kNaN;
            ASSERT_EQ(c.inverse(p, &v), 0);
            EXPECT_LT(c.forward(v), p);
            EXPECT_GE(c.forward(v + 1e-4), p);
            const double q = c.exact(p);
            EXPECT_LE(v, q + 1e-9);
            EXPECT_GT(v, q - 1e-4);
        }
    }
    // Quantiles beyond a bracket end come back as that end (less one step at the top).
    double t = 0;
    ASSERT_EQ(InvT_Dist(1e-300, 1, &t), 0);
    EXPECT_EQ(t, -10000.0);
    double f = 0;
    ASSERT_EQ(InvF_Dist(1e-300, 3, 5, &f), 0);
    EXPECT_EQ(f, 1e-6);
}

TEST(Distributions, ArgumentErrorsInOrderWriteNothing)
{
    struct Case {
        std::string name;
        std::function<int32_t(double *)> call;
        int32_t code;
    };
    const std::vector<Case> cases{
        {"InvN p=0", [](double *r) { return InvN_Dist(0.0, r); }, -20053},
        {"InvN p=1", [](double *r) { return InvN_Dist(1.0, r); }, -20053},
        {"InvN NaN", [](double *r) { return InvN_Dist(kNaN, r); }, -20053},
        {"T df", [](double *r) { return T_Dist(1.0, 0, r); }, -20052},
        {"InvT df first", [](double *r) { return InvT_Dist(2.0, 0, r); }, -20052},
        {"InvT p", [](double *r) { return InvT_Dist(-0.1, 3, r); }, -20053},
        {"F df1", [](double *r) { return F_Dist(1.0, 0, 3, r); }, -20052},
        {"F df2", [](double *r) { return F_Dist(1.0, 3, -1, r); }, -20052},
        {"F NaN", [](double *r) { return F_Dist(kNaN, 3, 4, r); }, -20057},
        {"InvF df first", [](double *r) { return InvF_Dist(1.5, 2, 0, r); }, -20052},
        {"InvF p", [](double *r) { return InvF_Dist(1.0, 2, 2, r); }, -20053},
        {"XX df", [](double *r) { return XX_Dist(2.385, 0, r); }, -20052},
        {"InvXX p=0", [](double *r) { return InvXX_Dist(0.0, 2, r); }, -20053},
        {"InvXX p first", [](double *r) { return InvXX_Dist(1.0, 0, r); }, -20053},
        {"InvXX df", [](double *r) { return InvXX_Dist(0.5, 0, r); }, -20052},
    };
    for (const auto &c : cases) {
        double result = 2.385;
        EXPECT_EQ(c.call(&result), c.code) << c.name;
        EXPECT_EQ(result, 2.385) << c.name;
    }
}

} // namespace

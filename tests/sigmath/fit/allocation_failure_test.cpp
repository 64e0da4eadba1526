// Every allocating routine of the family: each failed allocation gives -20001
// and releases whatever the call had already taken.
#include "sigmath/fit.h"
#include "sigmath/frame.h"

#include "sigmath/fit/allocation_sweep.hpp"
#include "sigmath/fit/least_squares_reference.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

double line(double x, double *c, int32_t) { return c[0] * x + c[1]; }

TEST(FitAllocationFailure, PolyFit)
{
    std::vector<double> x{0.2, 1.1, 2.385, 3.3, 4.9}, y{1.0, 2.2, 2.9, 4.7, 5.1}, fitted(5), coef(3);
    double mse = 0.0;
    const int points = fit_test::expectCleanAllocationFailures(
        [&] { return PolyFit(x.data(), y.data(), 5, 2, fitted.data(), coef.data(), &mse); });
    EXPECT_GE(points, 2); // the matrix here, the working buffers of the solve
}

TEST(FitAllocationFailure, GenLSFitEveryAlgorithmWithWeightsAndCovariance)
{
    const fit_test::Problem p = fit_test::randomProblem(12, 4, 9u, true);
    for (int algorithm = 0; algorithm < 6; ++algorithm) {
        std::vector<double> fitted(12), coef(4), covariance(16);
        double mse = 0.0;
        const int points = fit_test::expectCleanAllocationFailures([&] {
            return GenLSFit(p.h.data(), 12, 4, p.y.data(), p.stdDev.data(), algorithm, fitted.data(),
                            coef.data(), covariance.data(), &mse);
        });
        EXPECT_GE(points, 2) << "algorithm " << algorithm;
    }
}

TEST(FitAllocationFailure, GenLSFitCoefEveryAlgorithm)
{
    const fit_test::Problem p = fit_test::randomProblem(12, 4, 10u, false);
    for (int algorithm = 0; algorithm < 6; ++algorithm) {
        std::vector<double> coef(4);
        const int points = fit_test::expectCleanAllocationFailures(
            [&] { return GenLSFitCoef(p.h.data(), 12, 4, p.y.data(), coef.data(), algorithm); });
        EXPECT_GE(points, 1) << "algorithm " << algorithm;
    }
}

TEST(FitAllocationFailure, NonLinearFitBothForms)
{
    std::vector<double> x{0.0, 1.0, 2.0, 3.0}, y{0.5, 2.9, 5.4, 7.7}, fitted(4);
    double mse = 0.0;
    // Two k x k and four k-element working arrays.
    EXPECT_EQ(fit_test::expectCleanAllocationFailures([&] {
                  std::vector<double> coef{1.0, 0.0};
                  return NonLinearFit(x.data(), y.data(), fitted.data(), 4, line, coef.data(), 2, &mse);
              }),
              6);
    EXPECT_EQ(fit_test::expectCleanAllocationFailures([&] {
                  std::vector<double> coef{1.0, 0.0};
                  return NonLinearFitWithMaxIters(x.data(), y.data(), fitted.data(), 4, 1000, line,
                                                  coef.data(), 2, &mse);
              }),
              6);
}

} // namespace

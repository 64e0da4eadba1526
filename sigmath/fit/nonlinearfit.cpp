// Levenberg-Marquardt fit of a caller-supplied model with forward-difference
// derivatives.
#include "fit/solvers.hpp"

#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "sigmath/fit.h"

#include <cmath>
#include <cstddef>

using namespace sigmath;

namespace {

constexpr double kInitialLambda = 0.001;
constexpr double kStep = 1e-6;
constexpr double kInverseStep = 1e6;
constexpr double kSmallImprovement = 0.001;
// NonLinearFit's own bound (see fit.h): a run of rejected passes ends when
// lambda overflows to infinity (about 310 passes), and no run goes beyond
// this many passes in total.
constexpr int64_t kUnboundedPassLimit = 100000;

struct Work {
    const double *x;
    const double *y;
    std::size_t n;
    SigmathModelFn model;
    int32_t k;
    double *alpha;
    double *beta;
    double *deriv;
};

// Fills alpha = J^T J and beta = J^T r at c, returns chi^2 = r . r. c is
// perturbed and restored one coefficient at a time, as the model sees it; on
// return it holds exactly the values it came with.
double curvature(const Work &w, double *c)
{
    const std::size_t k = static_cast<std::size_t>(w.k);
    for (std::size_t i = 0; i < k * k; ++i)
        w.alpha[i] = 0.0;
    for (std::size_t j = 0; j < k; ++j)
        w.beta[j] = 0.0;
    double chi2 = 0.0;
    for (std::size_t i = 0; i < w.n; ++i) {
        const double r = w.y[i] - w.model(w.x[i], c, w.k);
        for (std::size_t j = 0; j < k; ++j) {
            // Restored from a saved copy rather than by subtracting the step
            // again, which could leave the coefficient an ulp off.
            const double saved = c[j];
            c[j] = saved + kStep;
            const double up = w.model(w.x[i], c, w.k);
            c[j] = saved;
            const double here = w.model(w.x[i], c, w.k);
            w.deriv[j] = (up - here) * kInverseStep;
        }
        for (std::size_t j = 0; j < k; ++j) {
            for (std::size_t m = 0; m <= j; ++m)
                w.alpha[j * k + m] += w.deriv[j] * w.deriv[m];
            w.beta[j] += r * w.deriv[j];
        }
        chi2 += r * r;
    }
    for (std::size_t j = 0; j < k; ++j)
        for (std::size_t m = j + 1; m < k; ++m)
            w.alpha[j * k + m] = w.alpha[m * k + j];
    return chi2;
}

double chiSquare(const Work &w, double *c)
{
    double chi2 = 0.0;
    for (std::size_t i = 0; i < w.n; ++i) {
        const double r = w.y[i] - w.model(w.x[i], c, w.k);
        chi2 += r * r;
    }
    return chi2;
}

// maxIters < 0 with bounded = false means NonLinearFit's own bound.
int32_t levenbergMarquardt(const double *x, const double *y, double *fitted, int32_t n, bool bounded,
                           int32_t maxIters, SigmathModelFn model, double *coef, int32_t k, double *mse)
{
    if (n < 1 || k < 1)
        return fail(SM_ERR_SAMPLES_GT_ZERO);
    if (n < k)
        return fail(SM_ERR_SIZE_ORDER);
    const std::size_t kk = static_cast<std::size_t>(k);
    rt::Buffer<double> alpha(kk * kk);
    if (!alpha.ok())
        return fail(SM_ERR_NO_MEMORY);
    rt::Buffer<double> damped(kk * kk);
    if (!damped.ok())
        return fail(SM_ERR_NO_MEMORY);
    rt::Buffer<double> beta(kk);
    if (!beta.ok())
        return fail(SM_ERR_NO_MEMORY);
    rt::Buffer<double> delta(kk);
    if (!delta.ok())
        return fail(SM_ERR_NO_MEMORY);
    rt::Buffer<double> trial(kk);
    if (!trial.ok())
        return fail(SM_ERR_NO_MEMORY);
    rt::Buffer<double> deriv(kk);
    if (!deriv.ok())
        return fail(SM_ERR_NO_MEMORY);

    const Work w{x, y, static_cast<std::size_t>(n), model, k, alpha.data(), beta.data(), deriv.data()};
    double lambda = kInitialLambda;
    bool hadSmallStep = false;
    double chi2 = curvature(w, coef);
    int32_t status = SM_NO_ERROR;
    int64_t passes = 0;
    for (;;) {
        if (bounded) {
            if (maxIters < 0)
                break;
            if (passes == maxIters) {
                status = fail(SM_ERR_MAX_ITERATIONS);
                break;
            }
        } else {
            // A model that yields NaN makes every comparison below false, so
            // lambda only grows: stop once it is infinite.
            if (std::isinf(lambda))
                break;
            if (passes == kUnboundedPassLimit) {
                status = fail(SM_ERR_MAX_ITERATIONS);
                break;
            }
        }
        for (std::size_t i = 0; i < kk * kk; ++i)
            damped[i] = alpha[i];
        for (std::size_t j = 0; j < kk; ++j)
            damped[j * kk + j] *= 1.0 + lambda;
        sigmath::fit::choleskySolve(damped.data(), beta.data(), k, delta.data(), false);
        for (std::size_t j = 0; j < kk; ++j)
            trial[j] = coef[j] + delta[j];
        const double chi2Trial = chiSquare(w, trial.data());
        if (chi2Trial == chi2)
            break;
        if (chi2Trial < chi2) {
            curvature(w, trial.data());
            lambda *= 0.1;
            for (std::size_t j = 0; j < kk; ++j)
                coef[j] = trial[j];
            const bool small = chi2 - chi2Trial < kSmallImprovement;
            chi2 = chi2Trial;
            if (small) {
                // Never reset: the second small improvement in total ends the search.
                if (hadSmallStep)
                    break;
                hadSmallStep = true;
                lambda = kInitialLambda;
            }
        } else {
            lambda *= 10.0;
        }
        ++passes;
    }

    for (std::size_t i = 0; i < w.n; ++i)
        fitted[i] = model(x[i], coef, k);
    *mse = fit::meanSquaredError(y, fitted, n);
    return status;
}

} // namespace

SIGMATH_EXPORT int32_t NonLinearFit(const double *x, const double *y, double *fitted, int32_t n,
                                    SigmathModelFn model, double *coef, int32_t k, double *mse)
{
    return guarded(
        [&]() -> int32_t { return levenbergMarquardt(x, y, fitted, n, false, -1, model, coef, k, mse); });
}

SIGMATH_EXPORT int32_t NonLinearFitWithMaxIters(const double *x, const double *y, double *fitted, int32_t n,
                                                int32_t maxIters, SigmathModelFn model, double *coef,
                                                int32_t k, double *mse)
{
    return guarded([&]() -> int32_t {
        return levenbergMarquardt(x, y, fitted, n, true, maxIters, model, coef, k, mse);
    });
}

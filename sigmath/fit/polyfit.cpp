// Least-squares polynomial: GenLSFit's unweighted SVD path on the
// Vandermonde-type observation matrix H[i][j] = x[i]^j.
//
// The results are those of GenLSFit(H, n, k, y, NULL, 0, fitted, coef, NULL,
// mse) bit for bit, but H is built in a block this routine owns, so the solve
// may work in it directly instead of in a copy; fitted = H * coef is then
// formed from the same powers, recomputed, in the same order. For the long
// series the program fits this halves the working memory.
#include "fit/solvers.hpp"

#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "sigmath/fit.h"

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <memory>
#include <vector>

using namespace sigmath;

namespace {

// The runtime's pow keeps x^0 = 1 (zero included) and the sign rule of
// integral powers of negative x.
double power(double x, std::size_t j) { return rt::pow(x, static_cast<double>(j)); }

// For the powers 0 .. 2 of a finite non-zero x that a float can hold (the
// program's series are floats), x^2 is exact in a double, so the runtime's
// pow, accurate to well under one unit in the last place, returns exactly 1,
// x and x * x: those are formed directly (the pow calls were a large share of
// a long fit's time). Everything else asks the runtime.
inline bool floatHeld(double x)
{
    return x != 0.0 && std::fabs(x) <= static_cast<double>(FLT_MAX) &&
           static_cast<double>(static_cast<float>(x)) == x;
}

// Row i of the observation matrix: x^0 .. x^(k-1).
inline void powersOf(double x, std::size_t k, double *row)
{
    if (k <= 3 && floatHeld(x)) {
        const double p[3] = {1.0, x, x * x};
        for (std::size_t j = 0; j < k; ++j)
            row[j] = p[j];
        return;
    }
    for (std::size_t j = 0; j < k; ++j)
        row[j] = power(x, j);
}

// The observation matrix H[i][j] = x[i]^j (m x k).
void buildDesign(const double *x, std::size_t m, std::size_t k, double *h)
{
    if (k == 3) { // the quadratic fit of the program's long series
        for (std::size_t i = 0; i < m; ++i) {
            const double xi = x[i];
            double *row = &h[i * 3];
            if (floatHeld(xi)) {
                row[0] = 1.0;
                row[1] = xi;
                row[2] = xi * xi;
            } else {
                for (std::size_t j = 0; j < 3; ++j)
                    row[j] = power(xi, j);
            }
        }
    } else {
        for (std::size_t i = 0; i < m; ++i)
            powersOf(x[i], k, &h[i * k]);
    }
}

// fitted = H * coef from the same powers, recomputed, in the same order.
void fittedValues(const double *x, std::size_t m, std::size_t k, const double *coef, double *fitted)
{
    double row[3];
    for (std::size_t i = 0; i < m; ++i) {
        double sum = 0.0;
        if (k <= 3) {
            powersOf(x[i], k, row);
            for (std::size_t j = 0; j < k; ++j)
                sum += row[j] * coef[j];
        } else {
            for (std::size_t j = 0; j < k; ++j)
                sum += power(x[i], j) * coef[j];
        }
        fitted[i] = sum;
    }
}

// PolyFit's argument checks, in its order.
int32_t checkPolyFit(int32_t n, int32_t order)
{
    if (n < 1)
        return fail(SM_ERR_SAMPLES_GT_ZERO);
    if (order < 0)
        return fail(SM_ERR_ORDER_GE_ZERO);
    if (order >= n)
        return fail(SM_ERR_SIZE_ORDER);
    return fit::validateLinearFit(n, order + 1, 0);
}

} // namespace

SIGMATH_EXPORT int32_t PolyFit(const double *x, const double *y, int32_t n, int32_t order, double *fitted,
                               double *coef, double *mse)
{
    return guarded([&]() -> int32_t {
        if (n < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        if (order < 0)
            return fail(SM_ERR_ORDER_GE_ZERO);
        if (order >= n)
            return fail(SM_ERR_SIZE_ORDER);
        const std::size_t m = static_cast<std::size_t>(n);
        const std::size_t k = static_cast<std::size_t>(order) + 1;
        rt::Buffer<double> h(m * k);
        if (!h.ok())
            return fail(SM_ERR_NO_MEMORY);
        buildDesign(x, m, k, h.data());

        // From here on exactly GenLSFit's unweighted algorithm 0.
        const int32_t cols = static_cast<int32_t>(k);
        if (const int32_t status = fit::validateLinearFit(n, cols, 0); status != SM_NO_ERROR)
            return status;
        rt::Buffer<double> b(m);
        if (!b.ok())
            return fail(SM_ERR_NO_MEMORY);
        for (std::size_t i = 0; i < m; ++i)
            b[i] = y[i];
        if (const int32_t status = fit::solveSvd(h.data(), b.data(), n, cols, coef); status != SM_NO_ERROR)
            return status;
        fittedValues(x, m, k, coef, fitted);
        *mse = fit::meanSquaredError(y, fitted, n);
        return SM_NO_ERROR;
    });
}

struct SigmathPolyPlan {
    int32_t status = SM_NO_ERROR;
    std::vector<double> x;
    std::vector<double> rows; // the observation matrix, kept for the fitted values (k <= 3)
    std::size_t k = 0;
    fit::SvdFactors factors;
};

SIGMATH_EXPORT int32_t PolyFitPlanCreate(const double *x, int32_t n, int32_t order, SigmathPolyPlan **plan)
{
    *plan = nullptr;
    return guarded([&]() -> int32_t {
        auto p = std::make_unique<SigmathPolyPlan>();
        p->status = checkPolyFit(n, order);
        if (p->status == SM_NO_ERROR) {
            const std::size_t m = static_cast<std::size_t>(n);
            p->k = static_cast<std::size_t>(order) + 1;
            p->x.assign(x, x + m);
            std::vector<double> h(m * p->k);
            buildDesign(x, m, p->k, h.data());
            if (p->k <= 3) // the same powers fittedValues would form again
                p->rows = h;
            p->status = fit::factorSvd(h.data(), n, static_cast<int32_t>(p->k), p->factors);
        }
        const int32_t status = p->status;
        *plan = p.release();
        return status;
    });
}

SIGMATH_EXPORT int32_t PolyFitPlanned(const SigmathPolyPlan *plan, const double *y, double *fitted,
                                      double *coef, double *mse)
{
    if (plan == nullptr)
        return fail(SM_ERR_NO_MEMORY);
    if (plan->status != SM_NO_ERROR)
        return plan->status;
    return guarded([&]() -> int32_t {
        const std::size_t m = plan->x.size();
        rt::Buffer<double> b(m);
        if (!b.ok())
            return fail(SM_ERR_NO_MEMORY);
        for (std::size_t i = 0; i < m; ++i)
            b[i] = y[i];
        fit::solveFactored(plan->factors, b.data(), coef);
        if (!plan->rows.empty()) {
            const std::size_t k = plan->k;
            for (std::size_t i = 0; i < m; ++i) {
                double sum = 0.0;
                for (std::size_t j = 0; j < k; ++j)
                    sum += plan->rows[i * k + j] * coef[j];
                fitted[i] = sum;
            }
        } else {
            fittedValues(plan->x.data(), m, plan->k, coef, fitted);
        }
        *mse = fit::meanSquaredError(y, fitted, static_cast<int32_t>(m));
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT void PolyFitPlanFree(SigmathPolyPlan *plan) { delete plan; }

#include "compute/detrend_poly.hpp"

#include "base/errors.hpp"

#include <sigmath/fit.h>

#include <array>
#include <cstdint>
#include <new>
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

TPolyPlan::TPolyPlan(std::span<const float> x, int order) : n_(x.size())
{
    if (n_ > static_cast<std::size_t>(INT32_MAX))
        throw ValueError("PolyFit: series too long for the fit");
    std::vector<double> xd(x.begin(), x.end());
    SigmathPolyPlan *p = nullptr;
    (void)PolyFitPlanCreate(xd.data(), static_cast<std::int32_t>(n_), order, &p);
    if (p == nullptr)
        throw std::bad_alloc();
    plan_.reset(p);
}

void TPolyPlan::Free::operator()(SigmathPolyPlan *p) const { PolyFitPlanFree(p); }

int TPolyPlan::Fit(const double *y, double *fitted, double *coef, double *mse) const
{
    return PolyFitPlanned(plan_.get(), y, fitted, coef, mse);
}

void DetrendPoly(const TPolyPlan &plan, std::span<float> y, std::span<float> trend)
{
    const std::size_t n = y.size();
    if (plan.size() != n || trend.size() < n)
        throw ValueError("DetrendPoly: the planned fit or the trend does not match the ordinate");
    if (n == 0)
        return;
    std::vector<double> yd(y.begin(), y.end());
    std::vector<double> fitted(n, 0.0);
    std::array<double, 3> coef{};
    double mse = 0;
    // The status is deliberately not acted upon, as above.
    (void)plan.Fit(yd.data(), fitted.data(), coef.data(), &mse);
    for (std::size_t i = 0; i < n; ++i) {
        trend[i] = static_cast<float>(fitted[i]);
        y[i] = static_cast<float>(yd[i] - static_cast<double>(trend[i]));
    }
}

} // namespace vibrolan

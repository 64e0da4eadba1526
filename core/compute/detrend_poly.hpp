// Quadratic detrending of a series against an abscissa through sigmath's
// least-squares PolyFit.
#pragma once

#include <cstddef>
#include <memory>
#include <span>

struct SigmathPolyPlan;

namespace vibrolan {

// A least-squares polynomial prepared over one abscissa for many ordinates
// (sigmath's planned PolyFit): every fit through it is bit for bit PolyFit's.
// Read-only once made: threads may share it.
class TPolyPlan {
public:
    TPolyPlan(std::span<const float> x, int order);
    // Fits y[n] (n = the abscissa's length): PolyFit's status; fitted and
    // coef are written only on success.
    int Fit(const double *y, double *fitted, double *coef, double *mse) const;
    std::size_t size() const { return n_; }

private:
    struct Free {
        void operator()(SigmathPolyPlan *p) const;
    };
    std::unique_ptr<SigmathPolyPlan, Free> plan_;
    std::size_t n_ = 0;
};

// Fits y against x with a quadratic, writes the fitted trend (as Single) into
// `trend` and subtracts it from y in place. n = y.size(); x and trend must
// hold at least n samples (ValueError otherwise). A PolyFit failure (fewer
// than three points, a degenerate abscissa) does not stop the routine: the
// trend is then what the fit left in its zero-filled output, i.e. 0, and y
// keeps its values.
void DetrendPoly(std::span<const float> x, std::span<float> y, std::span<float> trend);
// The same with the fit planned over x beforehand (plan.size() >= y.size()
// is required; a plan over x.first(y.size()) gives DetrendPoly(x, ...)'s results).
void DetrendPoly(const TPolyPlan &plan, std::span<float> y, std::span<float> trend);

} // namespace vibrolan

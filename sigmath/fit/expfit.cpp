// amplitude * exp(damping * x) by a straight-line fit of ln y.
#include "frame/runtime.hpp"
#include "frame/status.hpp"
#include "sigmath/fit.h"

using namespace sigmath;

namespace {

// Negates y in place for the fit and back again on every way out.
class NegatedWhileFitting {
public:
    NegatedWhileFitting(double *y, int32_t n, bool active) : y_(y), n_(n), active_(active) { flip(); }
    ~NegatedWhileFitting() { flip(); }
    NegatedWhileFitting(const NegatedWhileFitting &) = delete;
    NegatedWhileFitting &operator=(const NegatedWhileFitting &) = delete;

private:
    void flip()
    {
        if (active_)
            for (int32_t i = 0; i < n_; ++i)
                y_[i] = -y_[i];
    }
    double *y_;
    int32_t n_;
    bool active_;
};

} // namespace

SIGMATH_EXPORT int32_t ExpFit(const double *x, double *y, int32_t n, double *fitted, double *amplitude,
                              double *damping, double *mse)
{
    return guarded([&]() -> int32_t {
        // Cleared before anything else, as callers of this routine have always seen.
        *amplitude = 0.0;
        *damping = 0.0;
        if (n < 2)
            return fail(SM_ERR_SAMPLES_GE_TWO);
        const bool negative = y[0] < 0.0;
        const NegatedWhileFitting flipped(y, n, negative);
        for (int32_t i = 0; i < n; ++i)
            if (!(y[i] > 0.0))
                return fail(SM_ERR_SIGN);
        double sx = 0.0;
        double sxx = 0.0;
        double sl = 0.0;
        double sxl = 0.0;
        for (int32_t i = 0; i < n; ++i) {
            const double l = rt::log(y[i]);
            sx += x[i];
            sxx += x[i] * x[i];
            sl += l;
            sxl += x[i] * l;
        }
        const double count = static_cast<double>(n);
        const double rate = (count * sxl - sx * sl) / (count * sxx - sx * sx);
        double a = rt::exp((sl - rate * sx) / count);
        if (negative)
            a = -a;
        *amplitude = a;
        *damping = rate;
        double sum = 0.0;
        for (int32_t i = 0; i < n; ++i) {
            fitted[i] = a * rt::exp(rate * x[i]);
            // y is still negated here; the residual uses the caller's values.
            const double observed = negative ? -y[i] : y[i];
            const double r = fitted[i] - observed;
            sum += r * r;
        }
        *mse = sum / count;
        return SM_NO_ERROR;
    });
}

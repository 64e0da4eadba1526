// The complex, real and Hartley transforms. Working memory is obtained
// before the data is touched, so a failure leaves the arrays as they were.
#include "frame/status.hpp"
#include "sigmath/transforms.h"
#include "transforms/checks.hpp"

using namespace sigmath;
using namespace sigmath::fft;

SIGMATH_EXPORT int32_t FFT(double *re, double *im, int32_t n)
{
    return guarded([&]() -> int32_t {
        if (const int32_t st = check_args(n, true, {re, im}); st != SM_NO_ERROR)
            return st;
        Twiddles tw;
        if (!tw.build(static_cast<std::size_t>(n)))
            return fail(SM_ERR_NO_MEMORY);
        complex_forward(re, im, static_cast<std::size_t>(n), tw);
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t InvFFT(double *re, double *im, int32_t n)
{
    return guarded([&]() -> int32_t {
        if (const int32_t st = check_args(n, true, {re, im}); st != SM_NO_ERROR)
            return st;
        const auto len = static_cast<std::size_t>(n);
        Twiddles tw;
        if (!tw.build(len))
            return fail(SM_ERR_NO_MEMORY);
        const double scale = 1.0 / n;
        for (std::size_t i = 0; i < len; ++i) {
            re[i] *= scale;
            im[i] *= -scale;
        }
        complex_forward(re, im, len, tw);
        for (std::size_t i = 0; i < len; ++i)
            im[i] = -im[i];
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t ReFFT(double *x, double *y, int32_t n)
{
    return guarded([&]() -> int32_t {
        if (const int32_t st = check_args(n, true, {x, y}); st != SM_NO_ERROR)
            return st;
        Twiddles tw;
        if (!tw.build(static_cast<std::size_t>(n)))
            return fail(SM_ERR_NO_MEMORY);
        real_forward_full(x, y, static_cast<std::size_t>(n), tw);
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t ReInvFFT(double *re, double *im, int32_t n)
{
    return guarded([&]() -> int32_t {
        if (const int32_t st = check_args(n, true, {re, im}); st != SM_NO_ERROR)
            return st;
        RealWork work;
        if (!work.init(static_cast<std::size_t>(n)))
            return fail(SM_ERR_NO_MEMORY);
        // Packed form from re[0..n/2] and im[n/2+1..n-1]: Im X[k] = -im[n-k].
        for (int32_t k = 1; 2 * k < n; ++k)
            re[n - k] = -im[n - k];
        real_inverse_packed(re, static_cast<std::size_t>(n), work);
        return SM_NO_ERROR;
    });
}

namespace {
int32_t hartley_scaled(double *x, int32_t n, bool inverse)
{
    return guarded([&]() -> int32_t {
        if (const int32_t st = check_args(n, true, {x}); st != SM_NO_ERROR)
            return st;
        RealWork work;
        if (!work.init(static_cast<std::size_t>(n)))
            return fail(SM_ERR_NO_MEMORY);
        hartley(x, static_cast<std::size_t>(n), work);
        if (inverse) {
            const double scale = 1.0 / n;
            for (int32_t i = 0; i < n; ++i)
                x[i] *= scale;
        }
        return SM_NO_ERROR;
    });
}
} // namespace

SIGMATH_EXPORT int32_t FHT(double *x, int32_t n) { return hartley_scaled(x, n, false); }

SIGMATH_EXPORT int32_t InvFHT(double *x, int32_t n) { return hartley_scaled(x, n, true); }

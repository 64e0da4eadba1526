// Power, cross and amplitude/phase spectra.
#include "frame/status.hpp"
#include "sigmath/transforms.h"
#include "transforms/checks.hpp"
#include "transforms/cross_work.hpp"

#include <algorithm>
#include <numbers>

using namespace sigmath;
using namespace sigmath::fft;

namespace {

// Two-sided power of a packed spectrum, in place.
void packed_to_power(double *x, std::size_t n)
{
    const double norm = 1.0 / (static_cast<double>(n) * static_cast<double>(n));
    x[0] = x[0] * x[0] * norm;
    if (n == 1)
        return;
    for (std::size_t k = 1; 2 * k < n; ++k) {
        const double v = (x[k] * x[k] + x[n - k] * x[n - k]) * norm;
        x[k] = v;
        x[n - k] = v;
    }
    x[n / 2] = x[n / 2] * x[n / 2] * norm;
}

double magnitude(double re, double im) { return rt::sqrt(re * re + im * im); }

} // namespace

SIGMATH_EXPORT int32_t Spectrum(double *x, int32_t n)
{
    return guarded([&]() -> int32_t {
        if (const int32_t st = check_args(n, true, {x}); st != SM_NO_ERROR)
            return st;
        const auto len = static_cast<std::size_t>(n);
        RealWork work;
        if (!work.init(len))
            return fail(SM_ERR_NO_MEMORY);
        real_forward_packed(x, len, work);
        packed_to_power(x, len);
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t AutoPowerSpectrum(const double *x, int32_t n, double dt, double *out, double *df)
{
    return guarded([&]() -> int32_t {
        if (const int32_t st = check_args(n, true, {x, out, df}); st != SM_NO_ERROR)
            return st;
        const auto len = static_cast<std::size_t>(n);
        RealWork work;
        rt::Buffer<double> copy(len);
        if (!copy.ok() || !work.init(len))
            return fail(SM_ERR_NO_MEMORY);
        std::copy(x, x + len, copy.data());
        real_forward_packed(copy.data(), len, work);
        packed_to_power(copy.data(), len);
        for (std::size_t k = 0; k < len / 2; ++k)
            out[k] = k == 0 ? copy[0] : 2.0 * copy[k];
        *df = 1.0 / (n * dt);
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t CrossSpectrum(const double *x, const double *y, int32_t n, double *outRe,
                                     double *outIm)
{
    return guarded([&]() -> int32_t {
        if (const int32_t st = check_args(n, false, {x, y, outRe, outIm}); st != SM_NO_ERROR)
            return st;
        const auto len = static_cast<std::size_t>(n);
        std::size_t m = 1;
        while (m < len)
            m *= 2;
        PairSpectra work;
        if (!work.init(m))
            return fail(SM_ERR_NO_MEMORY);
        work.transform(x, y, len);
        const double norm = 1.0 / (static_cast<double>(m) * static_cast<double>(m));
        for (std::size_t k = 0; k < m; ++k) {
            const auto s = std::conj(work.x_bin(k)) * work.y_bin(k) * norm;
            outRe[k] = s.real();
            outIm[k] = s.imag();
        }
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t CrossPowerSpectrum(const double *x, const double *y, int32_t n, double dt,
                                          double *magnitude_out, double *phase, double *df)
{
    return guarded([&]() -> int32_t {
        if (const int32_t st = check_args(n, true, {x, y, magnitude_out, phase, df}); st != SM_NO_ERROR)
            return st;
        const auto len = static_cast<std::size_t>(n);
        PairSpectra work;
        if (!work.init(len))
            return fail(SM_ERR_NO_MEMORY);
        work.transform(x, y, len);
        const double norm = 1.0 / (static_cast<double>(len) * static_cast<double>(len));
        for (std::size_t k = 0; k < len / 2; ++k) {
            const auto s = std::conj(work.x_bin(k)) * work.y_bin(k) * norm;
            magnitude_out[k] = (k == 0 ? 1.0 : 2.0) * magnitude(s.real(), s.imag());
            phase[k] = rt::atan2(s.imag(), s.real());
        }
        *df = 1.0 / (n * dt);
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t AmpPhaseSpectrum(const double *x, int32_t n, int32_t unwrap, double dt,
                                        double *amplitude, double *phase, double *df)
{
    return guarded([&]() -> int32_t {
        if (const int32_t st = check_args(n, true, {x, amplitude, phase, df}); st != SM_NO_ERROR)
            return st;
        const auto len = static_cast<std::size_t>(n);
        RealWork work;
        rt::Buffer<double> p(len);
        if (!p.ok() || !work.init(len))
            return fail(SM_ERR_NO_MEMORY);
        std::copy(x, x + len, p.data());
        real_forward_packed(p.data(), len, work);
        const double inv_n = 1.0 / n;
        for (std::size_t k = 0; k < len / 2; ++k) {
            if (k == 0) {
                amplitude[0] = rt::fabs(p[0]) * inv_n;
                phase[0] = p[0] < 0 ? std::numbers::pi : 0.0;
            } else {
                amplitude[k] = std::numbers::sqrt2 * magnitude(p[k], p[len - k]) * inv_n;
                phase[k] = rt::atan2(p[len - k], p[k]);
            }
        }
        if (unwrap != 0 && len >= 2)
            UnWrap1D(phase, n / 2, phase);
        *df = 1.0 / (n * dt);
        return SM_NO_ERROR;
    });
}

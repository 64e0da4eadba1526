// Two-channel measurements: transfer function, impulse response and the
// averaged network analysis.
#include "frame/status.hpp"
#include "sigmath/transforms.h"
#include "transforms/checks.hpp"
#include "transforms/cross_work.hpp"

#include <algorithm>

using namespace sigmath;
using namespace sigmath::fft;

namespace {

struct Cx {
    double re, im;
};

Cx divide(Cx a, Cx b)
{
    const double d = b.re * b.re + b.im * b.im;
    return {(a.re * b.re + a.im * b.im) / d, (a.im * b.re - a.re * b.im) / d};
}

double magnitude(Cx a) { return rt::sqrt(a.re * a.re + a.im * a.im); }

// Bin k of a packed spectrum of length n.
Cx packed_bin(const double *p, std::size_t n, std::size_t k)
{
    if (k == 0 || 2 * k == n)
        return {p[k], 0.0};
    return {p[k], p[n - k]};
}

// Packed real spectra of a stimulus and a response of the same length.
struct PackedPair {
    RealWork work;
    rt::Buffer<double> xs, ys;

    bool transform(const double *stimulus, const double *response, std::size_t len)
    {
        xs = rt::Buffer<double>(len);
        ys = rt::Buffer<double>(len);
        if (!xs.ok() || !ys.ok() || !work.init(len))
            return false;
        std::copy(stimulus, stimulus + len, xs.data());
        std::copy(response, response + len, ys.data());
        real_forward_packed(xs.data(), len, work);
        real_forward_packed(ys.data(), len, work);
        return true;
    }
};

} // namespace

SIGMATH_EXPORT int32_t TransferFunction(const double *stimulus, const double *response, int32_t n, double dt,
                                        double *magnitude_out, double *phase, double *df)
{
    return guarded([&]() -> int32_t {
        if (const int32_t st = check_args(n, true, {stimulus, response, magnitude_out, phase, df});
            st != SM_NO_ERROR)
            return st;
        const auto len = static_cast<std::size_t>(n);
        PackedPair pair;
        if (!pair.transform(stimulus, response, len))
            return fail(SM_ERR_NO_MEMORY);
        const rt::Buffer<double> &xs = pair.xs, &ys = pair.ys;
        for (std::size_t k = 0; k < len / 2; ++k) {
            const Cx h = k == 0 ? Cx{ys[0] / xs[0], 0.0}
                                : divide(packed_bin(ys.data(), len, k), packed_bin(xs.data(), len, k));
            magnitude_out[k] = magnitude(h);
            phase[k] = rt::atan2(h.im, h.re);
        }
        *df = 1.0 / (n * dt);
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t ImpulseResponse(const double *stimulus, const double *response, int32_t n, double *out)
{
    return guarded([&]() -> int32_t {
        if (const int32_t st = check_args(n, true, {stimulus, response, out}); st != SM_NO_ERROR)
            return st;
        const auto len = static_cast<std::size_t>(n);
        PackedPair pair;
        if (!pair.transform(stimulus, response, len))
            return fail(SM_ERR_NO_MEMORY);
        const rt::Buffer<double> &xs = pair.xs, &ys = pair.ys;
        // H = Y/X in packed form: real at 0 and n/2, complex in between.
        out[0] = ys[0] / xs[0];
        if (len >= 2)
            out[len / 2] = ys[len / 2] / xs[len / 2];
        for (std::size_t k = 1; 2 * k < len; ++k) {
            const Cx h = divide(packed_bin(ys.data(), len, k), packed_bin(xs.data(), len, k));
            out[k] = h.re;
            out[len - k] = h.im;
        }
        real_inverse_packed(out, len, pair.work);
        return SM_NO_ERROR;
    });
}

SIGMATH_EXPORT int32_t NetworkFunctions(const double *stimulus, const double *response, int32_t n,
                                        int32_t frames, double dt, double *crossMagnitude, double *crossPhase,
                                        double *responseMagnitude, double *responsePhase, double *coherence,
                                        double *impulseResponse, double *df)
{
    return guarded([&]() -> int32_t {
        if (const int32_t st = check_args(n, true, {}); st != SM_NO_ERROR)
            return st;
        if (frames < 1)
            return fail(SM_ERR_SAMPLES_GT_ZERO);
        if (const int32_t st = check_args(n, true,
                                          {stimulus, response, crossMagnitude, crossPhase, responseMagnitude,
                                           responsePhase, coherence, impulseResponse, df});
            st != SM_NO_ERROR)
            return st;
        const auto len = static_cast<std::size_t>(n);
        PairSpectra pair;
        rt::Buffer<double> acc(4 * len); // Sxy re, Sxy im, Sxx, Syy
        rt::Buffer<double> h(2 * len);
        Twiddles tw;
        if (!acc.ok() || !h.ok() || !pair.init(len) || !tw.build(len))
            return fail(SM_ERR_NO_MEMORY);
        double *sxy_re = acc.data(), *sxy_im = sxy_re + len, *sxx = sxy_im + len, *syy = sxx + len;
        std::fill(acc.data(), acc.data() + 4 * len, 0.0);
        const double norm = 1.0 / (static_cast<double>(len) * static_cast<double>(len));
        for (int64_t f = 0; f < frames; ++f) {
            const auto offset = static_cast<std::size_t>(f) * len;
            pair.transform(stimulus + offset, response + offset, len);
            for (std::size_t k = 0; k < len; ++k) {
                const auto x = pair.x_bin(k), y = pair.y_bin(k);
                const auto s = std::conj(x) * y * norm;
                sxy_re[k] += s.real();
                sxy_im[k] += s.imag();
                sxx[k] += std::norm(x) * norm;
                syy[k] += std::norm(y) * norm;
            }
        }
        double *hr = h.data(), *hi = hr + len;
        for (std::size_t k = 0; k < len; ++k) {
            hr[k] = sxy_re[k] / sxx[k];
            hi[k] = sxy_im[k] / sxx[k];
        }
        for (std::size_t k = 0; k < len / 2; ++k) {
            const Cx s{sxy_re[k], sxy_im[k]};
            const double mag = magnitude(s);
            responseMagnitude[k] = magnitude(Cx{hr[k], hi[k]});
            responsePhase[k] = rt::atan2(hi[k], hr[k]);
            crossMagnitude[k] = (k == 0 ? 1.0 : 2.0) * mag / frames;
            crossPhase[k] = rt::atan2(s.im, s.re);
            coherence[k] = mag * mag / (sxx[k] * syy[k]);
        }
        // Impulse response: real part of the inverse transform of H.
        const double scale = 1.0 / n;
        for (std::size_t k = 0; k < len; ++k) {
            hr[k] *= scale;
            hi[k] *= -scale;
        }
        complex_forward(hr, hi, len, tw);
        std::copy(hr, hr + len, impulseResponse);
        *df = 1.0 / (n * dt);
        return SM_NO_ERROR;
    });
}

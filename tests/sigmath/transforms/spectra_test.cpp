#include "naive_dft.hpp"

#include "hostrt/hostrt.h"
#include "sigmath/transforms.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace dft_test;

namespace {

// y = x circularly convolved with h (both of length n).
std::vector<double> circular(const std::vector<double> &x, const std::vector<double> &h)
{
    const size_t n = x.size();
    std::vector<double> y(n, 0.0);
    for (size_t t = 0; t < n; ++t)
        for (size_t m = 0; m < h.size(); ++m)
            y[t] += h[m] * x[(t + n - m) % n];
    return y;
}

} // namespace

TEST(Spectra, PowerSpectraAgreeWithDft)
{
    const size_t n = 64;
    const auto x = random_signal(n, 5);
    const auto X = dft(x);
    auto two_sided = x;
    ASSERT_EQ(Spectrum(two_sided.data(), 64), 0);
    for (size_t k = 0; k < n; ++k)
        EXPECT_NEAR(two_sided[k], std::norm(X[k]) / (n * n), 1e-14) << k;

    std::vector<double> single(n / 2 + 1, -7.0);
    double df = 0;
    ASSERT_EQ(AutoPowerSpectrum(x.data(), 64, 0.002, single.data(), &df), 0);
    EXPECT_DOUBLE_EQ(df, 1 / (64 * 0.002));
    EXPECT_NEAR(single[0], std::norm(X[0]) / (n * n), 1e-14);
    for (size_t k = 1; k < n / 2; ++k)
        EXPECT_NEAR(single[k], 2 * std::norm(X[k]) / (n * n), 1e-14) << k;
    EXPECT_EQ(single[n / 2], -7.0) << "only n/2 bins are written";
}

TEST(Spectra, SineCentredOnABinHasHalfItsSquaredAmplitude)
{
    const int n = 256;
    for (int bin : {1, 17, 100}) {
        const double amp = 2.385;
        std::vector<double> x(n), out(n / 2);
        for (int i = 0; i < n; ++i)
            x[i] = amp * std::sin(2 * std::numbers::pi * bin * i / n + 0.4);
        double df = 0;
        ASSERT_EQ(AutoPowerSpectrum(x.data(), n, 1e-3, out.data(), &df), 0);
        for (int k = 0; k < n / 2; ++k)
            EXPECT_NEAR(out[k], k == bin ? amp * amp / 2 : 0.0, 1e-12) << bin << " " << k;

        std::vector<double> a(n / 2), p(n / 2);
        ASSERT_EQ(AmpPhaseSpectrum(x.data(), n, 0, 1e-3, a.data(), p.data(), &df), 0);
        EXPECT_NEAR(a[bin], amp / std::sqrt(2.0), 1e-12) << "RMS amplitude";
        // sin(wt + 0.4) = cos(wt + 0.4 - pi/2)
        EXPECT_NEAR(p[bin], 0.4 - std::numbers::pi / 2, 1e-12);
    }
}

TEST(Spectra, CrossSpectrumPadsToAPowerOfTwo)
{
    for (size_t n : {5u, 8u, 1u, 33u}) {
        size_t m = 1;
        while (m < n)
            m *= 2;
        const auto x = random_signal(n, 21 + n), y = random_signal(n, 41 + n);
        std::vector<double> xp(x), yp(y);
        xp.resize(m, 0.0);
        yp.resize(m, 0.0);
        const auto X = dft(xp), Y = dft(yp);
        std::vector<double> re(m + 1, 123.0), im(m + 1, 123.0);
        ASSERT_EQ(CrossSpectrum(x.data(), y.data(), static_cast<int32_t>(n), re.data(), im.data()), 0);
        for (size_t k = 0; k < m; ++k) {
            const cplx s = std::conj(X[k]) * Y[k] / static_cast<double>(m * m);
            EXPECT_NEAR(re[k], s.real(), 1e-13) << n << " " << k;
            EXPECT_NEAR(im[k], s.imag(), 1e-13) << n << " " << k;
        }
        EXPECT_EQ(im[0], 0.0);
        if (m > 1)
            EXPECT_EQ(im[m / 2], 0.0);
        EXPECT_EQ(re[m], 123.0) << "exactly m values";
        EXPECT_EQ(im[m], 123.0);
    }

    const size_t n = 32;
    const auto x = random_signal(n, 1), y = random_signal(n, 2);
    const auto X = dft(x), Y = dft(y);
    std::vector<double> mag(n / 2), ph(n / 2);
    double df = 0;
    ASSERT_EQ(CrossPowerSpectrum(x.data(), y.data(), 32, 0.5, mag.data(), ph.data(), &df), 0);
    EXPECT_DOUBLE_EQ(df, 1.0 / 16);
    for (size_t k = 0; k < n / 2; ++k) {
        const cplx s = std::conj(X[k]) * Y[k] / static_cast<double>(n * n);
        EXPECT_NEAR(mag[k], (k == 0 ? 1 : 2) * std::abs(s), 1e-13) << k;
        EXPECT_NEAR(ph[k], std::arg(s), 1e-11) << k;
    }
}

TEST(Spectra, TransferImpulseAndNetworkFunctionsRecoverTheSystem)
{
    const int n = 64, frames = 3;
    const std::vector<double> h = {0.8, -0.35, 0.2, 0.05, -0.01};
    std::vector<double> hp(h);
    hp.resize(n, 0.0);
    const auto H = dft(hp);

    std::vector<double> stim, resp;
    for (int f = 0; f < frames; ++f) {
        const auto x = random_signal(n, 100 + f);
        const auto y = circular(x, h);
        stim.insert(stim.end(), x.begin(), x.end());
        resp.insert(resp.end(), y.begin(), y.end());
    }

    std::vector<double> mag(n / 2), ph(n / 2), imp(n);
    double df = 0;
    ASSERT_EQ(TransferFunction(stim.data(), resp.data(), n, 0.01, mag.data(), ph.data(), &df), 0);
    EXPECT_DOUBLE_EQ(df, 1 / (n * 0.01));
    for (int k = 0; k < n / 2; ++k) {
        EXPECT_NEAR(mag[k], std::abs(H[k]), 1e-11) << k;
        EXPECT_NEAR(ph[k], std::arg(H[k]), 1e-11) << k;
    }
    ASSERT_EQ(ImpulseResponse(stim.data(), resp.data(), n, imp.data()), 0);
    for (int i = 0; i < n; ++i)
        EXPECT_NEAR(imp[i], hp[i], 1e-12) << i;

    std::vector<double> cm(n / 2), cp(n / 2), rm(n / 2), rp(n / 2), coh(n / 2), ir(n);
    ASSERT_EQ(NetworkFunctions(stim.data(), resp.data(), n, frames, 0.01, cm.data(), cp.data(), rm.data(),
                               rp.data(), coh.data(), ir.data(), &df),
              0);
    std::vector<cplx> sxy(n / 2, 0.0);
    for (int f = 0; f < frames; ++f) {
        const auto X = dft(std::vector<double>(stim.begin() + f * n, stim.begin() + (f + 1) * n));
        const auto Y = dft(std::vector<double>(resp.begin() + f * n, resp.begin() + (f + 1) * n));
        for (int k = 0; k < n / 2; ++k)
            sxy[k] += std::conj(X[k]) * Y[k] / static_cast<double>(n * n);
    }
    for (int k = 0; k < n / 2; ++k) {
        EXPECT_NEAR(rm[k], std::abs(H[k]), 1e-11) << k;
        EXPECT_NEAR(rp[k], std::arg(H[k]), 1e-11) << k;
        EXPECT_NEAR(coh[k], 1.0, 1e-11) << "a noiseless linear system is fully coherent";
        EXPECT_NEAR(cm[k], (k == 0 ? 1 : 2) * std::abs(sxy[k]) / frames, 1e-12) << k;
        EXPECT_NEAR(cp[k], std::arg(sxy[k]), 1e-10) << k;
    }
    for (int i = 0; i < n; ++i)
        EXPECT_NEAR(ir[i], hp[i], 1e-12) << i;
}

TEST(Spectra, PowerFrequencyEstimateSpanAndCentre)
{
    const std::vector<double> s = {0.5, 1, 2, 4, 9, 4, 3, 2, 1, 0.25, 0.125, 0.0625};
    const ScaledWindowConstants rect{1.0, 1.0}, hann{1.5, 0.5};
    const double df = 0.5;
    struct Case {
        double search;
        int span;
        ScaledWindowConstants w;
        int first, last; // bins summed
    };
    for (const Case c : {Case{2.0, 4, rect, 2, 6},     // span 4 uses 5 bins around bin 4
                         Case{2.0, 5, hann, 2, 6},     // odd span kept
                         Case{-1.0, 1, rect, 3, 5},    // at least 3 bins, around the maximum
                         Case{0.2, 3, rect, 0, 1},     // clipped at the low end
                         Case{5.6, 7, rect, 8, 11},    // clipped at the high end
                         Case{99.0, 3, rect, 3, 5}}) { // beyond the spectrum: the maximum
        double p = 0, m = 0;
        for (int j = c.first; j <= c.last; ++j) {
            p += s[j];
            m += j * s[j];
        }
        double freq = 0, power = 0;
        ASSERT_EQ(PowerFrequencyEstimate(s.data(), 12, c.search, c.w, df, c.span, &freq, &power), 0);
        EXPECT_DOUBLE_EQ(power, p / c.w.enbw) << c.search << " " << c.span;
        EXPECT_DOUBLE_EQ(freq, m * df / p) << c.search << " " << c.span;
    }
    const std::vector<double> zeros(8, 0.0);
    double freq = 0, power = 1;
    ASSERT_EQ(PowerFrequencyEstimate(zeros.data(), 8, 1.6, rect, 0.5, 3, &freq, &power), 0);
    EXPECT_EQ(power, 0.0);
    EXPECT_EQ(freq, 1.5) << "no power: the centre bin's frequency";
    // A zero step must not turn into an integer overflow.
    ASSERT_EQ(PowerFrequencyEstimate(s.data(), 12, 1.0, rect, 0.0, 3, &freq, &power), 0);
    EXPECT_EQ(PowerFrequencyEstimate(s.data(), 0, 1.0, rect, 0.5, 3, &freq, &power), -20003);
}

TEST(Spectra, UnwrapKeepsEveryStepWithinHalfATurn)
{
    const double pi = std::numbers::pi;
    struct Case {
        std::vector<double> in, out;
    };
    for (const Case &c : {Case{{0.0, 3.0, -3.0, -2.5}, {0.0, 3.0, 2 * pi - 3.0, 2 * pi - 2.5}},
                          Case{{0.5, 0.5 + pi}, {0.5, 0.5 + pi}}, Case{{0.5, 0.5 - pi}, {0.5, 0.5 + pi}},
                          Case{{1.0, 1.0 + 20 * pi + 0.1}, {1.0, 1.1}}}) {
        std::vector<double> out(c.in.size());
        ASSERT_EQ(UnWrap1D(c.in.data(), static_cast<int32_t>(c.in.size()), out.data()), 0);
        for (size_t i = 0; i < out.size(); ++i)
            EXPECT_NEAR(out[i], c.out[i], 1e-12) << i;
        auto in_place = c.in;
        ASSERT_EQ(UnWrap1D(in_place.data(), static_cast<int32_t>(in_place.size()), in_place.data()), 0);
        EXPECT_EQ(in_place, out);
    }
    double v = 0;
    EXPECT_EQ(UnWrap1D(&v, 0, &v), -20003);
}

TEST(Spectra, ChecksComeFirstAndOutputsStayUntouched)
{
    const std::vector<double> x(16, 1.0);
    std::vector<double> a(16, 42.0), b(16, 42.0), c(16, 42.0), d(16, 42.0), e(16, 42.0), f(16, 42.0);
    double df = 42.0;
    EXPECT_EQ(AutoPowerSpectrum(x.data(), 0, 1, a.data(), &df), -20003);
    EXPECT_EQ(AutoPowerSpectrum(x.data(), 12, 1, a.data(), &df), -20009);
    EXPECT_EQ(CrossSpectrum(x.data(), x.data(), 0, a.data(), b.data()), -20003);
    EXPECT_EQ(CrossPowerSpectrum(x.data(), x.data(), 12, 1, a.data(), b.data(), &df), -20009);
    EXPECT_EQ(AmpPhaseSpectrum(x.data(), 10, 1, 1, a.data(), b.data(), &df), -20009);
    EXPECT_EQ(TransferFunction(x.data(), x.data(), 0, 1, a.data(), b.data(), &df), -20003);
    EXPECT_EQ(ImpulseResponse(x.data(), x.data(), 6, a.data()), -20009);
    EXPECT_EQ(NetworkFunctions(x.data(), x.data(), 6, 0, 1, a.data(), b.data(), c.data(), d.data(), e.data(),
                               f.data(), &df),
              -20009);
    EXPECT_EQ(NetworkFunctions(x.data(), x.data(), 8, 0, 1, a.data(), b.data(), c.data(), d.data(), e.data(),
                               f.data(), &df),
              -20003);
    EXPECT_EQ(Spectrum(a.data(), 3), -20009);
    for (const auto *v : {&a, &b, &c, &d, &e, &f})
        for (double val : *v)
            EXPECT_EQ(val, 42.0);
    EXPECT_EQ(df, 42.0);

    for (int ok : {0, 1}) {
        const auto live = hrt_live_blocks();
        hrt_fail_allocations_after(ok);
        EXPECT_EQ(NetworkFunctions(x.data(), x.data(), 8, 2, 1, a.data(), b.data(), c.data(), d.data(),
                                   e.data(), f.data(), &df),
                  -20001);
        EXPECT_EQ(AutoPowerSpectrum(x.data(), 16, 1, a.data(), &df), -20001);
        hrt_fail_allocations_after(-1);
        EXPECT_EQ(hrt_live_blocks(), live);
        EXPECT_EQ(a[0], 42.0);
        EXPECT_EQ(df, 42.0);
    }
}

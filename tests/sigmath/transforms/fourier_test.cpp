#include "naive_dft.hpp"

#include "hostrt/hostrt.h"
#include "sigmath/transforms.h"

#include <gtest/gtest.h>

using namespace dft_test;

namespace {
// Tolerance for transforms of length n with values of order one.
double tol(size_t n) { return 1e-12 * static_cast<double>(n); }
} // namespace

TEST(Fourier, FftOfSmallExamples)
{
    double re[4] = {1, 0, 0, 0}, im[4] = {0, 0, 0, 0};
    ASSERT_EQ(FFT(re, im, 4), 0);
    for (int k = 0; k < 4; ++k) {
        EXPECT_DOUBLE_EQ(re[k], 1.0);
        EXPECT_DOUBLE_EQ(im[k], 0.0);
    }
    double ones[8] = {1, 1, 1, 1, 1, 1, 1, 1}, zeros[8] = {};
    ASSERT_EQ(FFT(ones, zeros, 8), 0);
    EXPECT_DOUBLE_EQ(ones[0], 8.0);
    for (int k = 1; k < 8; ++k) {
        EXPECT_NEAR(ones[k], 0.0, 1e-15);
        EXPECT_NEAR(zeros[k], 0.0, 1e-15);
    }
    // Length 1 leaves the data alone; the real transform zeroes the imaginary part.
    double r1 = 2.5, i1 = -1.5;
    ASSERT_EQ(FFT(&r1, &i1, 1), 0);
    ASSERT_EQ(InvFFT(&r1, &i1, 1), 0);
    EXPECT_EQ(r1, 2.5);
    EXPECT_EQ(i1, -1.5);
    ASSERT_EQ(ReFFT(&r1, &i1, 1), 0);
    EXPECT_EQ(r1, 2.5);
    EXPECT_EQ(i1, 0.0);
    ASSERT_EQ(ReInvFFT(&r1, &i1, 1), 0);
    EXPECT_EQ(r1, 2.5);
    ASSERT_EQ(Spectrum(&r1, 1), 0);
    EXPECT_EQ(r1, 6.25);
}

TEST(Fourier, ComplexTransformsAgreeWithDftAndRoundTrip)
{
    for (size_t n : {2u, 4u, 8u, 16u, 32u, 128u, 1024u, 4096u}) {
        const auto re0 = random_signal(n, 11 + n), im0 = random_signal(n, 7 * n);
        std::vector<cplx> z(n);
        for (size_t i = 0; i < n; ++i)
            z[i] = {re0[i], im0[i]};
        const auto expected = dft(z);
        auto re = re0, im = im0;
        ASSERT_EQ(FFT(re.data(), im.data(), static_cast<int32_t>(n)), 0);
        for (size_t k = 0; k < n; ++k) {
            ASSERT_NEAR(re[k], expected[k].real(), tol(n)) << n << " bin " << k;
            ASSERT_NEAR(im[k], expected[k].imag(), tol(n)) << n << " bin " << k;
        }
        ASSERT_EQ(InvFFT(re.data(), im.data(), static_cast<int32_t>(n)), 0);
        for (size_t i = 0; i < n; ++i) {
            ASSERT_NEAR(re[i], re0[i], 1e-13) << n;
            ASSERT_NEAR(im[i], im0[i], 1e-13) << n;
        }
    }
}

TEST(Fourier, RealTransformsAgreeWithDftAndRoundTrip)
{
    for (size_t n : {2u, 4u, 8u, 16u, 64u, 512u, 2048u}) {
        const auto x0 = random_signal(n, 3 + n);
        const auto expected = dft(x0);
        auto x = x0;
        std::vector<double> y(n, 99.0);
        ASSERT_EQ(ReFFT(x.data(), y.data(), static_cast<int32_t>(n)), 0);
        for (size_t k = 0; k < n; ++k) {
            ASSERT_NEAR(x[k], expected[k].real(), tol(n)) << n << " bin " << k;
            ASSERT_NEAR(y[k], expected[k].imag(), tol(n)) << n << " bin " << k;
        }
        EXPECT_EQ(y[0], 0.0);
        EXPECT_EQ(y[n / 2], 0.0);

        // The inverse reads only re[0..n/2] and im[n/2+1..n-1].
        for (size_t k = n / 2 + 1; k < n; ++k)
            x[k] = 1e6;
        for (size_t k = 0; k <= n / 2; ++k)
            y[k] = -1e6;
        const auto im_before = y;
        ASSERT_EQ(ReInvFFT(x.data(), y.data(), static_cast<int32_t>(n)), 0);
        for (size_t i = 0; i < n; ++i)
            ASSERT_NEAR(x[i], x0[i], 1e-13) << n << " sample " << i;
        EXPECT_EQ(y, im_before);

        // Hartley: H[k] = Re X[k] - Im X[k]; the inverse brings the signal back.
        auto h = x0;
        ASSERT_EQ(FHT(h.data(), static_cast<int32_t>(n)), 0);
        for (size_t k = 0; k < n; ++k)
            ASSERT_NEAR(h[k], expected[k].real() - expected[k].imag(), tol(n)) << n << " bin " << k;
        ASSERT_EQ(InvFHT(h.data(), static_cast<int32_t>(n)), 0);
        for (size_t i = 0; i < n; ++i)
            ASSERT_NEAR(h[i], x0[i], 1e-13) << n;
    }
}

TEST(Fourier, ChecksLeaveDataAloneAndNoMemoryLeaksNothing)
{
    std::vector<double> re(8, 1.5), im(8, -0.5);
    const auto re0 = re;
    EXPECT_EQ(FFT(re.data(), im.data(), 0), -20003);
    EXPECT_EQ(InvFFT(re.data(), im.data(), -4), -20003);
    EXPECT_EQ(ReFFT(re.data(), im.data(), 6), -20009);
    EXPECT_EQ(ReInvFFT(re.data(), im.data(), 3), -20009);
    EXPECT_EQ(FHT(re.data(), 12), -20009);
    EXPECT_EQ(InvFHT(re.data(), 0), -20003);
    EXPECT_EQ(FFT(re.data(), nullptr, 8), -20008);
    EXPECT_EQ(re, re0);

    using Call = int32_t (*)(double *, double *);
    const Call calls[] = {
        [](double *r, double *i) { return FFT(r, i, 8); },
        [](double *r, double *i) { return InvFFT(r, i, 8); },
        [](double *r, double *i) { return ReFFT(r, i, 8); },
        [](double *r, double *i) { return ReInvFFT(r, i, 8); },
        [](double *r, double *) { return FHT(r, 8); },
        [](double *r, double *) { return InvFHT(r, 8); },
    };
    for (Call call : calls) {
        for (int ok : {0, 1}) {
            const auto live = hrt_live_blocks();
            hrt_fail_allocations_after(ok);
            const int32_t st = call(re.data(), im.data());
            hrt_fail_allocations_after(-1);
            EXPECT_EQ(hrt_live_blocks(), live);
            if (st != 0) { // a call needing fewer blocks may succeed on the second round
                EXPECT_EQ(st, -20001);
                EXPECT_EQ(re, re0);
            }
            re = re0;
            std::fill(im.begin(), im.end(), -0.5);
        }
    }
    hrt_fail_allocations_after(0);
    EXPECT_EQ(FFT(re.data(), im.data(), 8), -20001);
    hrt_fail_allocations_after(-1);
}

// Failure codes of the IIR routines, in their order of testing: each case
// breaks two or more rules and expects the code of the first one tested.
#include "response.hpp"

#include "hostrt/hostrt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace iir_test;

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kSentinel = -123.25;
} // namespace

TEST(IirValidation, OneShotFiltersTestInOrderAndLeaveOutputAlone)
{
    std::vector<double> x(8, 1.0), y(8, kSentinel);
    struct Case {
        int32_t expected;
        int32_t status;
    };
    const double *xp = x.data();
    double *yp = y.data();
    const Case cases[] = {
        {-20003, Elp_LPF(xp, 0, 1000, 600, -1, -1, 0, yp)},
        {-20003, Bw_LPF(nullptr, 8, 1000, 100, 2, yp)},
        {-20021, Elp_BPF(xp, 8, 1000, 300, 200, -1, -1, 0, yp)},
        {-20023, Elp_LPF(xp, 8, 1000, 0, -1, -1, 2, yp)},
        {-20023, Bw_BPF(xp, 8, 1000, 100, kNaN, 2, yp)},
        {-20023, Ch_LPF(xp, 8, -1000, 100, -1, 2, yp)},
        {-20024, Elp_BPF(xp, 8, 1000, 300, 200, 0, -1, 2, yp)},
        {-20025, Elp_BPF(xp, 8, 1000, 300, 200, 1, 0, 2, yp)},
        {-20028, Elp_BPF(xp, 8, 1000, 300, 900, 2, 2, 2, yp)},
        {-20023, Elp_BSF(xp, 8, 1000, 300, 200, 1, 40, 2, yp)},
        {-20023, InvCh_BSF(xp, 8, 1000, 300, 300, 40, 2, yp)},
        {-20020, Ch_BPF(xp, 8, 1000, 300, 501, 1, 2, yp)},
        {-20020, InvCh_HPF(xp, 8, 1000, 500.001, 40, 2, yp)},
        {-20024, Ch_HPF(xp, 8, 1000, 600, 0, 2, yp)},
        {-20025, InvCh_LPF(xp, 8, 1000, 600, -3, 2, yp)},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].status, cases[i].expected) << "case " << i;
    for (double v : y)
        EXPECT_EQ(v, kSentinel);
    // A cutoff exactly at half the sampling frequency is accepted.
    EXPECT_EQ(Bw_LPF(xp, 8, 1000, 500, 3, yp), 0);
    EXPECT_EQ(Elp_HPF(xp, 8, 1000, 500, 0.5, 30, 3, yp), 0);
}

TEST(IirValidation, CascadeDesignersTestInOrderAndLeaveStructureAlone)
{
    auto lp = make_filter(0, 4);
    auto bp = make_filter(2, 3);
    auto small = make_filter(2, 3);
    small->na = 7; // shorter than 4 * ns
    auto order0 = make_filter(0, 2);
    order0->order = 0;
    for (IIRFilterInfo *f : {lp.get(), bp.get()}) {
        std::fill(f->a, f->a + f->na, kSentinel);
        std::fill(f->b, f->b + f->nb, kSentinel);
    }
    struct Case {
        int32_t expected;
        int32_t status;
    };
    const Case cases[] = {
        {-20066, Bw_CascadeCoef(1000, 100, 200, nullptr)},
        {-20021, Elp_CascadeCoef(-1, 0, 0, 0, 0, order0.get())},
        {-20023, Bw_CascadeCoef(1000, 0, 200, bp.get())},
        {-20023, Bw_CascadeCoef(-1000, 100, -200, bp.get())},
        // fl < fh comes before the fs test: fs = -1 is not reached.
        {-20023, Bessel_CascadeCoef(-1, 300, 200, bp.get())},
        {-20023, Bw_CascadeCoef(0, 100, 200, bp.get())},
        // For lowpass, fh becomes (fs/2 + fl)/2: a cutoff at or above fs/2 fails the band test.
        {-20023, Bw_CascadeCoef(1000, 500, 0, lp.get())},
        {-20023, Elp_CascadeCoef(1000, 700, 0, -1, -1, lp.get())},
        {-20020, Bw_CascadeCoef(1000, 100, 600, bp.get())},
        {-20020, Ch_CascadeCoef(1000, 100, 600, -1, bp.get())},
        {-20024, Ch_CascadeCoef(1000, 100, 200, 0, small.get())},
        {-20025, InvCh_CascadeCoef(1000, 100, 600, 0, bp.get())},
        {-20020, InvCh_CascadeCoef(1000, 100, 600, 40, small.get())},
        {-20020, Elp_CascadeCoef(1000, 100, 600, 2, 1, bp.get())},
        {-20024, Elp_CascadeCoef(1000, 100, 200, -2, 1, bp.get())},
        {-20025, Elp_CascadeCoef(1000, 100, 200, 2, -1, bp.get())},
        {-20028, Elp_CascadeCoef(1000, 100, 200, 2, 2, small.get())},
        {-20066, Elp_CascadeCoef(1000, 100, 200, 1, 40, small.get())},
        {-20066, Bessel_CascadeCoef(1000, 100, 200, small.get())},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].status, cases[i].expected) << "case " << i;
    for (IIRFilterInfo *f : {lp.get(), bp.get()}) {
        for (int i = 0; i < f->na; ++i)
            EXPECT_EQ(f->a[i], kSentinel);
        for (int i = 0; i < f->nb; ++i)
            EXPECT_EQ(f->b[i], kSentinel);
    }
    // The lowpass fh argument is ignored: any value works below fs/2.
    EXPECT_EQ(Bw_CascadeCoef(1000, 499, -5, lp.get()), 0);
}

TEST(IirValidation, DirectDesignersTestInOrderAndLeaveArraysAlone)
{
    std::vector<double> a(9, kSentinel), b(9, kSentinel);
    double *ap = a.data(), *bp = b.data();
    struct Case {
        int32_t expected;
        int32_t status;
    };
    const Case cases[] = {
        {-20021, Bw_Coef(9, 0, -1, -1, -1, ap, 0, bp, 0)},
        {-20023, Bw_Coef(2, 2, -1, 0, 100, ap, 0, bp, 0)},
        // fs is tested before fl < fh in the direct designers.
        {-20023, Bw_Coef(2, 2, -1, 300, 100, ap, 9, bp, 9)},
        {-20024, Ch_Coef(2, 2, 1000, 300, 100, 0, ap, 9, bp, 9)},
        {-20023, Ch_Coef(2, 2, 1000, 300, 100, 1, ap, 9, bp, 9)},
        {-20023, InvCh_Coef(2, 2, 1000, 300, 100, 0, ap, 9, bp, 9)},
        {-20025, InvCh_Coef(2, 2, 1000, 100, 600, 0, ap, 9, bp, 9)},
        {-20020, Elp_Coef(2, 2, 1000, 100, 600, 0, 0, ap, 9, bp, 9)},
        {-20028, Elp_Coef(2, 2, 1000, 100, 300, 3, 1, ap, 0, bp, 0)},
        {-20023, Bw_Coef(0, 2, 1000, 500, 0, ap, 3, bp, 3)},
        {-20008, Bw_Coef(2, 4, 1000, 100, 300, ap, 9, bp, 8)},
        {-20008, Bw_Coef(0, 4, 1000, 100, 0, ap, 4, bp, 9)},
        {-20008, Bw_Coef(0, 4, 1000, 100, 0, nullptr, 9, bp, 9)},
        {-20061, Bessel_Coef(4, 2, 1000, 100, 300, ap, 9, bp, 9)},
        {-20061, Elp_Coef(-1, 2, 1000, 100, 300, 1, 40, ap, 9, bp, 9)},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].status, cases[i].expected) << "case " << i;
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(a[i], kSentinel);
        EXPECT_EQ(b[i], kSentinel);
    }
}

TEST(IirValidation, DirectDesignerOutOfMemoryLeaksNothing)
{
    double a[9], b[9];
    for (int okAllocations : {0, 1}) {
        std::fill(a, a + 9, kSentinel);
        const auto live = hrt_live_blocks();
        hrt_fail_allocations_after(okAllocations);
        const int32_t st = Elp_Coef(3, 4, 1000, 100, 300, 1, 40, a, 9, b, 9);
        hrt_fail_allocations_after(-1);
        EXPECT_EQ(st, -20001);
        EXPECT_EQ(hrt_live_blocks(), live);
        EXPECT_EQ(a[0], kSentinel);
    }
    EXPECT_EQ(Elp_Coef(3, 4, 1000, 100, 300, 1, 40, a, 9, b, 9), 0);
}

#include "response.hpp"

#include "hostrt/hostrt.h"
#include "sigmath/frame.h"

#include <gtest/gtest.h>

#include <numbers>

using namespace iir_test;

TEST(IirStructure, AllocSizesAndOneBlockLayout)
{
    struct Case {
        int type, order, na, nb;
    };
    for (const Case c : {Case{0, 5, 6, 9}, Case{1, 4, 4, 6}, Case{2, 3, 8, 10}, Case{3, 1, 4, 5}}) {
        const auto live = hrt_live_blocks();
        auto f = make_filter(c.type, c.order);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(hrt_live_blocks(), live + 1) << "header and arrays form one block";
        EXPECT_EQ(f->type, c.type);
        EXPECT_EQ(f->order, c.order);
        EXPECT_EQ(f->reset, 0);
        EXPECT_EQ(f->na, c.na);
        EXPECT_EQ(f->nb, c.nb);
        EXPECT_EQ(f->nstate, c.na);
        EXPECT_EQ(reinterpret_cast<char *>(f->a), reinterpret_cast<char *>(f.get()) + sizeof(IIRFilterInfo));
        EXPECT_EQ(f->b, f->a + c.na);
        EXPECT_EQ(f->state, f->b + c.nb);
        for (int i = 0; i < c.na; ++i)
            EXPECT_EQ(f->state[i], 0.0);
        f.reset();
        EXPECT_EQ(hrt_live_blocks(), live);
    }
}

TEST(IirStructure, AllocRejectsBadArgumentsAndExhaustedMemory)
{
    EXPECT_EQ(AllocIIRFilterPtr(4, 2), nullptr);
    EXPECT_EQ(AllocIIRFilterPtr(-1, 2), nullptr);
    EXPECT_EQ(AllocIIRFilterPtr(0, 0), nullptr);
    EXPECT_EQ(AllocIIRFilterPtr(0, -3), nullptr);
    // A count that would not fit the 32-bit fields is refused, not wrapped.
    EXPECT_EQ(AllocIIRFilterPtr(2, 2147483647), nullptr);
    hrt_fail_allocations_after(0);
    EXPECT_EQ(AllocIIRFilterPtr(0, 2), nullptr);
    hrt_fail_allocations_after(-1);
    FreeIIRFilterPtr(nullptr);
    ResetIIRFilter(nullptr);
}

TEST(IirStructure, FirstOrderLowpassCascadeAndItsDirectForm)
{
    const double fs = 1000, fc = 123.4;
    auto f = make_filter(0, 1);
    ASSERT_EQ(Bw_CascadeCoef(fs, fc, 0, f.get()), 0);
    const double w = std::tan(std::numbers::pi * fc / fs);
    EXPECT_NEAR(f->a[0], -(1 - w) / (1 + w), 1e-15);
    EXPECT_EQ(f->a[1], 0.0);
    EXPECT_NEAR(f->b[0], w / (1 + w), 1e-15);
    EXPECT_NEAR(f->b[1], w / (1 + w), 1e-15);
    EXPECT_EQ(f->b[2], 0.0);

    double a[2] = {9, 9}, b[2] = {9, 9};
    ASSERT_EQ(CascadeToDirectCoef(f.get(), a, 2, b, 2), 0);
    EXPECT_EQ(a[0], 1.0);
    EXPECT_DOUBLE_EQ(a[1], f->a[0]);
    EXPECT_DOUBLE_EQ(b[0], f->b[0]);
    EXPECT_DOUBLE_EQ(b[1], f->b[1]);
}

TEST(IirStructure, ButterworthPairSectionsFollowReferenceFormulasInPoleOrder)
{
    const double fs = 48000, fc = 3000;
    const int order = 5;
    auto f = make_filter(0, order);
    ASSERT_EQ(Bw_CascadeCoef(fs, fc, 99999, f.get()), 0); // fh is ignored for lowpass
    const double w = std::tan(std::numbers::pi * fc / fs);
    for (int i = 0; i < order / 2; ++i) {
        const double theta = (std::numbers::pi + std::numbers::pi / order) / 2 + i * std::numbers::pi / order;
        const double d = 1 + w * w - 2 * w * std::cos(theta);
        const int j = i + 1; // section 0 is the real pole
        EXPECT_NEAR(f->a[2 * j], -(2 - 2 * w * w) / d, 1e-14) << i;
        EXPECT_NEAR(f->a[2 * j + 1], (1 + w * w + 2 * w * std::cos(theta)) / d, 1e-14) << i;
        EXPECT_NEAR(f->b[3 * j], w * w / d, 1e-14) << i;
        EXPECT_NEAR(f->b[3 * j + 1], 2 * w * w / d, 1e-14) << i;
        EXPECT_NEAR(f->b[3 * j + 2], w * w / d, 1e-14) << i;
    }
}

TEST(IirStructure, CascadeToDirectCoefChecksAndFailsCleanly)
{
    auto f = make_filter(2, 3);
    ASSERT_EQ(Bw_CascadeCoef(1000, 100, 200, f.get()), 0);
    double a[7], b[7];
    EXPECT_EQ(CascadeToDirectCoef(nullptr, a, 7, b, 7), -20066);
    EXPECT_EQ(CascadeToDirectCoef(f.get(), a, 6, b, 7), -20066);
    EXPECT_EQ(CascadeToDirectCoef(f.get(), a, 7, b, 6), -20066);
    IIRFilterInfo copy = *f;
    copy.order = 0;
    EXPECT_EQ(CascadeToDirectCoef(&copy, a, 7, b, 7), -20021);
    copy = *f;
    copy.type = 7;
    EXPECT_EQ(CascadeToDirectCoef(&copy, a, 7, b, 7), -20061);
    copy = *f;
    copy.nb = 9;
    EXPECT_EQ(CascadeToDirectCoef(&copy, a, 7, b, 7), -20066);

    for (int okAllocations : {0, 1}) {
        std::fill(a, a + 7, 5.0);
        const auto live = hrt_live_blocks();
        hrt_fail_allocations_after(okAllocations);
        EXPECT_EQ(CascadeToDirectCoef(f.get(), a, 7, b, 7), -20001);
        hrt_fail_allocations_after(-1);
        EXPECT_EQ(hrt_live_blocks(), live);
        EXPECT_EQ(a[0], 5.0);
    }
}

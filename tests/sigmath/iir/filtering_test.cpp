#include "response.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace iir_test;

namespace {

std::vector<double> test_signal(int n)
{
    std::vector<double> x(n);
    for (int i = 0; i < n; ++i)
        x[i] = std::sin(0.0731 * i) + 0.5 * std::cos(1.917 * i + 0.3) + ((i * 7919) % 13 - 6) * 0.0385;
    return x;
}

void expect_close(const std::vector<double> &a, const std::vector<double> &b, double tol)
{
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
        ASSERT_NEAR(a[i], b[i], tol) << "sample " << i;
}

} // namespace

TEST(IirFiltering, OneShotEqualsCascadeStreamInBlocks)
{
    static constexpr double fs = 2000, fl = 150, fh = 420, ripple = 0.8, atten = 55;
    const std::vector<double> x = test_signal(1000);
    const int n = static_cast<int>(x.size());
    struct Case {
        int type;
        int order;
        int (*one_shot)(const std::vector<double> &, std::vector<double> &, int);
        int (*design)(IIRFilterInfo *);
    };
    const Case cases[] = {
        {0, 5, [](auto &in, auto &out, int o) { return Bw_LPF(in.data(), 1000, fs, fl, o, out.data()); },
         [](IIRFilterInfo *f) { return Bw_CascadeCoef(fs, fl, 0, f); }},
        {1, 4,
         [](auto &in, auto &out, int o) { return Ch_HPF(in.data(), 1000, fs, fl, ripple, o, out.data()); },
         [](IIRFilterInfo *f) { return Ch_CascadeCoef(fs, fl, 0, ripple, f); }},
        {2, 3,
         [](auto &in, auto &out, int o) {
             return InvCh_BPF(in.data(), 1000, fs, fl, fh, atten, o, out.data());
         },
         [](IIRFilterInfo *f) { return InvCh_CascadeCoef(fs, fl, fh, atten, f); }},
        {3, 4,
         [](auto &in, auto &out, int o) {
             return Elp_BSF(in.data(), 1000, fs, fl, fh, ripple, atten, o, out.data());
         },
         [](IIRFilterInfo *f) { return Elp_CascadeCoef(fs, fl, fh, ripple, atten, f); }},
        {2, 2,
         [](auto &in, auto &out, int o) {
             return Ch_BPF(in.data(), 1000, fs, fl, fh, ripple, o, out.data());
         },
         [](IIRFilterInfo *f) { return Ch_CascadeCoef(fs, fl, fh, ripple, f); }},
    };
    for (const Case &c : cases) {
        std::vector<double> once(n);
        ASSERT_EQ(c.one_shot(x, once, c.order), 0);
        // In place (y the same array as x) gives the same result.
        std::vector<double> in_place = x;
        ASSERT_EQ(c.one_shot(in_place, in_place, c.order), 0);
        expect_close(in_place, once, 0);

        auto f = make_filter(c.type, c.order);
        ASSERT_EQ(c.design(f.get()), 0);
        std::vector<double> streamed(n);
        ASSERT_EQ(IIRCascadeFiltering(x.data(), 377, f.get(), streamed.data()), 0);
        ASSERT_EQ(IIRCascadeFiltering(x.data() + 377, n - 377, f.get(), streamed.data() + 377), 0);
        expect_close(streamed, once, 1e-10);

        // Reset then refilter equals a fresh structure filtering once.
        ResetIIRFilter(f.get());
        EXPECT_EQ(f->reset, 1);
        std::vector<double> again(n);
        ASSERT_EQ(IIRCascadeFiltering(x.data(), n, f.get(), again.data()), 0);
        EXPECT_EQ(f->reset, 0);
        expect_close(again, streamed, 0);
    }
}

TEST(IirFiltering, DirectFormStreamMatchesCascadeAndKeepsState)
{
    const double fs = 1000;
    const int order = 4;
    auto f = make_filter(0, order);
    ASSERT_EQ(Bw_CascadeCoef(fs, 90, 0, f.get()), 0);
    double a[5], b[5];
    ASSERT_EQ(CascadeToDirectCoef(f.get(), a, 5, b, 5), 0);

    const std::vector<double> x = test_signal(600);
    std::vector<double> cascade(x.size()), direct(x.size());
    ASSERT_EQ(IIRCascadeFiltering(x.data(), 600, f.get(), cascade.data()), 0);
    std::vector<double> xs(4, 0.0), ys(4, 0.0);
    ASSERT_EQ(IIRFiltering(x.data(), 250, a, ys.data(), 5, b, xs.data(), 5, direct.data()), 0);
    ASSERT_EQ(IIRFiltering(x.data() + 250, 350, a, ys.data(), 5, b, xs.data(), 5, direct.data() + 250), 0);
    expect_close(direct, cascade, 1e-10);
    // Histories end with the newest sample last.
    EXPECT_EQ(xs[3], x[599]);
    EXPECT_EQ(ys[3], direct[599]);
}

TEST(IirFiltering, NullFeedbackMakesAnFirFilter)
{
    const double b[3] = {0.25, -0.5, 2.0};
    const double x[5] = {1, 2, 3, 4, 5};
    const double expected[5] = {0.25 - 0.5 * 9 + 2 * 7, 0.5 - 0.5 + 2 * 9, 0.75 - 1 + 2 * 1, 1 - 1.5 + 4,
                                1.25 - 2 + 6};
    double a[2] = {1, 0.9}, ystate[1] = {0};
    for (int variant = 0; variant < 3; ++variant) {
        double xstate[2] = {7, 9}; // oldest first: x[-2] = 7, x[-1] = 9
        double y[5];
        const int32_t st = variant == 0   ? IIRFiltering(x, 5, nullptr, ystate, 2, b, xstate, 3, y)
                           : variant == 1 ? IIRFiltering(x, 5, a, nullptr, 2, b, xstate, 3, y)
                                          : IIRFiltering(x, 5, a, ystate, 0, b, xstate, 3, y);
        ASSERT_EQ(st, 0);
        for (int i = 0; i < 5; ++i)
            EXPECT_DOUBLE_EQ(y[i], expected[i]) << variant << " " << i;
        EXPECT_EQ(xstate[0], 4.0);
        EXPECT_EQ(xstate[1], 5.0);
    }
}

TEST(IirFiltering, DirectFormCountsAndArrays)
{
    double a[2] = {1, 0.5}, b[2] = {1, 1}, xs[1] = {0}, ys[1] = {0}, x[2] = {1, 2};
    double y[2] = {42, 42};
    EXPECT_EQ(IIRFiltering(x, 0, a, ys, 2, b, xs, 2, y), -20003);
    EXPECT_EQ(IIRFiltering(x, 2, a, ys, 2, b, xs, 0, y), -20003);
    EXPECT_EQ(IIRFiltering(x, 2, nullptr, nullptr, 0, b, xs, 0, y), -20003);
    EXPECT_EQ(IIRFiltering(x, 2, a, ys, 2, nullptr, xs, 2, y), -20008);
    EXPECT_EQ(IIRFiltering(x, 2, a, ys, 2, b, nullptr, 2, y), -20008);
    EXPECT_EQ(y[0], 42.0);
    // One feedback coefficient needs no output history; a single tap no input history.
    EXPECT_EQ(IIRFiltering(x, 2, a, ys, 1, b, nullptr, 1, y), 0);
    EXPECT_EQ(y[1], 2.0);
}

TEST(IirFiltering, CascadeRejectsInconsistentStructureButResetsBeforeCountTest)
{
    auto f = make_filter(2, 3);
    ASSERT_EQ(Bw_CascadeCoef(1000, 100, 200, f.get()), 0);
    double x[1] = {1}, y[1] = {0};
    IIRFilterInfo bad = *f;
    bad.nstate = 7;
    EXPECT_EQ(IIRCascadeFiltering(x, 1, &bad, y), -20066);
    bad = *f;
    bad.na = 6; // k = 3
    EXPECT_EQ(IIRCascadeFiltering(x, 1, &bad, y), -20066);
    bad = *f;
    bad.nb = 9;
    EXPECT_EQ(IIRCascadeFiltering(x, 1, &bad, y), -20066);
    EXPECT_EQ(IIRCascadeFiltering(x, 1, nullptr, y), -20066);

    for (int i = 0; i < f->nstate; ++i)
        f->state[i] = 3.5;
    ResetIIRFilter(f.get());
    EXPECT_EQ(IIRCascadeFiltering(x, 0, f.get(), y), -20003);
    EXPECT_EQ(f->reset, 0);
    for (int i = 0; i < f->nstate; ++i)
        EXPECT_EQ(f->state[i], 0.0);
    EXPECT_EQ(y[0], 0.0);
}

// The trigger on hand-made signals: sub-sample crossings against closed
// forms, hysteresis and the minimum spacing against ringing, and the same
// pulses whatever the blocks the stream comes in.
#include "toa/trigger.hpp"

#include <gtest/gtest.h>

#include <cmath>

using namespace vibrolan::toa;

namespace {

TEST(Trigger, CrossingsAreExactOnLinesAndOnCubics)
{
    // p(u) = level + (u - r) q(u), q > 0 on [-1, 2]: one crossing at r.
    struct Case {
        double r, a, b, c, level;
    } cases[] = {{0.2385, 0.1, 0.3, 1.0, 0.5},
                 {0.731, -0.05, 0.2, 0.9, -0.25},
                 {0.02, 0.3, -0.1, 1.2, 1.75},
                 {0.97, 0.0, 0.0, 2.0, 0.0}};
    for (const Case &k : cases) {
        auto p = [&](double u) { return k.level + (u - k.r) * (k.a * u * u + k.b * u + k.c); };
        const double u = crossingCubic(static_cast<float>(p(-1)), static_cast<float>(p(0)),
                                       static_cast<float>(p(1)), static_cast<float>(p(2)), k.level);
        EXPECT_NEAR(u, k.r, 2e-6) << "root " << k.r;
        if (k.a == 0 && k.b == 0) { // a line
            EXPECT_NEAR(crossingLinear(static_cast<float>(p(0)), static_cast<float>(p(1)), k.level), k.r,
                        1e-6);
        }
    }
}

// Pulses rising through 0.5 at the given times (samples), each followed by
// 40 samples of ringing around 0.5 of amplitude 0.15.
std::vector<float> ringingPulses(const std::vector<double> &at, std::size_t n)
{
    std::vector<float> y(n, 0.0F);
    for (double t : at)
        for (std::size_t i = 0; i < n; ++i) {
            const double d = static_cast<double>(i) - t;
            if (d > -2 && d <= 2)
                y[i] = static_cast<float>(0.5 + 0.25 * d);
            else if (d > 2 && d < 6)
                y[i] = 1.0F;
            else if (d >= 6 && d < 46)
                y[i] = static_cast<float>(0.5 + 0.15 * std::sin(1.3 * (d - 6) + 1.0));
        }
    return y;
}

std::vector<Arrival> runWhole(const TriggerLevels &levels, const std::vector<float> &y)
{
    SampleWindow w(triggerMargin(levels));
    w.advance(0, y);
    ChannelTrigger t(levels);
    std::vector<Arrival> out;
    t.process(w, w.end(), out);
    return out;
}

TEST(Trigger, HysteresisAndMinimumSpacingRejectRinging)
{
    const std::vector<double> at = {100.25, 400.5, 700.875, 1000.125};
    const auto y = ringingPulses(at, 1200);
    struct Case {
        const char *what;
        double hysteresis;
        std::int64_t spacing;
        bool clean;
    } cases[] = {{"no hysteresis, no spacing", 0.0, 0, false},
                 {"hysteresis below the ringing", 0.2, 0, true},
                 {"small hysteresis, spacing past the ringing", 0.01, 50, true},
                 {"small hysteresis, spacing too short", 0.01, 10, false}};
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        TriggerLevels l;
        l.level = 0.5;
        l.rearm = 0.5 - k.hysteresis;
        l.minSpacing = k.spacing;
        l.maxWidth = 64;
        const auto found = runWhole(l, y);
        if (!k.clean) {
            EXPECT_GT(found.size(), at.size());
            continue;
        }
        ASSERT_EQ(found.size(), at.size());
        for (std::size_t i = 0; i < at.size(); ++i) {
            EXPECT_NEAR(found[i].time, at[i], 1e-5); // a straight edge: linear interpolation is exact
            EXPECT_FLOAT_EQ(found[i].peak, 1.0F);
        }
    }
}

TEST(Trigger, NoiseAroundTheLevelOnTheEdgeNeitherSplitsThePulseNorCutsItsPeak)
{
    // Rising through 0.5 at 10.5, back under it at 12, then on to a peak of 1.
    std::vector<float> y(60, 0.0F);
    const float edge[] = {0.2F, 0.45F, 0.55F, 0.48F, 0.52F, 0.7F, 0.9F, 1.0F, 0.9F, 0.4F, 0.1F};
    std::copy(std::begin(edge), std::end(edge), y.begin() + 9);
    for (const bool cfd : {false, true}) {
        TriggerLevels l;
        l.level = 0.5;
        l.rearm = 0.3;
        l.maxWidth = 30;
        if (cfd)
            l.fraction = 0.6; // 0.6 of the peak: between 0.52 and 0.7
        const auto found = runWhole(l, y);
        ASSERT_EQ(found.size(), 1u);
        EXPECT_FLOAT_EQ(found[0].peak, 1.0F);
        EXPECT_NEAR(found[0].time, cfd ? 13 + 0.08 / 0.18 : 10.5, 1e-6);
    }
}

TEST(Trigger, TheSamePulsesWhateverTheBlocks)
{
    // Bipolar pulses of varying height on noise, every 97.3 samples.
    std::vector<float> y(50000);
    std::uint64_t s = 12345;
    for (std::size_t i = 0; i < y.size(); ++i) {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        const double noise = (static_cast<double>(s >> 40) / 16777216.0 - 0.5) * 0.02;
        const double k = std::round(static_cast<double>(i) / 97.3);
        const double u = (static_cast<double>(i) - 97.3 * k) / 3.1;
        y[i] = static_cast<float>((0.6 + 0.3 * std::sin(k)) * u * std::exp(0.5 * (1 - u * u)) + noise);
    }
    for (const bool cfd : {false, true}) {
        SCOPED_TRACE(cfd ? "constant fraction" : "threshold");
        TriggerLevels l;
        l.level = cfd ? 0.1 : 0.0;
        l.rearm = -0.2;
        l.interpolation = Interpolation::Cubic;
        l.maxWidth = 20;
        if (cfd)
            l.fraction = 0.4;
        const auto whole = runWhole(l, y);
        ASSERT_GT(whole.size(), 500u);
        for (std::size_t block : {1u, 7u, 64u, 1000u, 4099u}) {
            SCOPED_TRACE(block);
            const std::int64_t margin = triggerMargin(l);
            SampleWindow w(margin);
            ChannelTrigger t(l);
            std::vector<Arrival> out;
            std::int64_t settled = 0;
            for (std::size_t at = 0; at < y.size(); at += block) {
                const std::size_t n = std::min(block, y.size() - at);
                w.advance(settled, std::span<const float>(y.data() + at, n));
                const bool last = at + n == y.size();
                const std::int64_t to = last ? w.end() : std::max<std::int64_t>(settled, w.end() - margin);
                t.process(w, to, out);
                settled = to;
            }
            ASSERT_EQ(out.size(), whole.size());
            for (std::size_t i = 0; i < out.size(); ++i) {
                ASSERT_EQ(out[i].time, whole[i].time) << i;
                ASSERT_EQ(out[i].peak, whole[i].peak) << i;
            }
        }
    }
}

} // namespace

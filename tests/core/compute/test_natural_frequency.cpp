#include "compute/natural_frequency.hpp"
#include "compute/natural_frequency_nodal.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

using namespace vibrolan;

namespace {

// A pair holding the given per-blade series; an empty series leaves the
// blade without a block.
TPair MakePair(int size, const std::vector<std::vector<float>> &blades)
{
    TPair p;
    p.Checked = true;
    p.Size = size;
    for (std::size_t b = 0; b < blades.size(); ++b)
        if (!blades[b].empty())
            p.Ampl[b] = blades[b];
    return p;
}

std::vector<float> Alternating(int size, float even, float odd)
{
    std::vector<float> v(static_cast<std::size_t>(size));
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = i % 2 == 0 ? even : odd;
    return v;
}

constexpr double kPi = std::numbers::pi;

} // namespace

TEST(NaturalFrequency, BranchesFromThePhase)
{
    // dFi = 30 degrees, 3000 rev/min: k = 3/pi / 30 * 3000.
    const double k = 95.4929658551372;
    struct Case {
        const char *name;
        std::vector<float> x, y;
        double r, phi;
    };
    const std::vector<float> a = Alternating(40, 2.385f, -0.75f);
    std::vector<float> negA = a;
    for (float &v : negA)
        v = -v;
    const Case cases[] = {
        {"orthogonal: quarter turn", Alternating(40, 1, 0), Alternating(40, 0, 1), 0, kPi / 2},
        {"identical: no phase", a, a, 1, 0},
        {"opposite: half turn", a, negA, -1, kPi},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto t = FrequencyTable(MakePair(40, {c.x}), MakePair(40, {c.y}), 1, {30, 3000, 0, 0});
        ASSERT_TRUE(t);
        EXPECT_NEAR(t->k, k, 1e-12);
        ASSERT_EQ(t->blades.size(), 1u);
        ASSERT_TRUE(t->blades[0].r);
        EXPECT_NEAR(*t->blades[0].r, c.r, 1e-12);
        const double phi = c.phi;
        const double expected[4] = {phi * k, (2 * kPi - phi) * k, (2 * kPi + phi) * k, (4 * kPi - phi) * k};
        for (std::size_t col = 0; col < 4; ++col)
            EXPECT_NEAR(t->blades[0].f[col], expected[col], 1e-6) << "column " << col;
    }
    // The worked example: phi = pi/2 gives 150, 450, 750 and 1050 Hz.
    const auto t = FrequencyTable(MakePair(40, {Alternating(40, 1, 0)}),
                                  MakePair(40, {Alternating(40, 0, 1)}), 1, {30, 3000, 0, 0});
    ASSERT_TRUE(t);
    const double hz[4] = {150, 450, 750, 1050};
    for (std::size_t col = 0; col < 4; ++col)
        EXPECT_NEAR(t->blades[0].f[col], hz[col], 1e-9);
}

TEST(NaturalFrequency, NothingWithoutAngleOrSamples)
{
    const std::vector<float> s = Alternating(10, 1, 2);
    EXPECT_FALSE(FrequencyTable(MakePair(10, {s}), MakePair(10, {s}), 1, {0, 3000, 0, 0}));
    EXPECT_FALSE(FrequencyTable(MakePair(10, {s}), MakePair(3, {s}), 1, {30, 3000, 0, 0}));
    EXPECT_FALSE(FrequencyTable(MakePair(3, {s}), MakePair(10, {s}), 1, {30, 3000, 0, 0}));
    EXPECT_TRUE(FrequencyTable(MakePair(4, {s}), MakePair(4, {s}), 1, {-30, 3000, 0, 0}));
}

TEST(NaturalFrequency, StretchBetweenTheCursors)
{
    // Pair 1 is all ones; pair 2 agrees with it only on samples 1000..1099,
    // so only that stretch correlates perfectly.
    const int size1 = 1300, size2 = 1200;
    std::vector<float> y(size2, -1.0f);
    for (int i = 1000; i < 1100; ++i)
        y[static_cast<std::size_t>(i)] = 1.0f;
    const TPair p1 = MakePair(size1, {std::vector<float>(size1, 1.0f)});
    const TPair p2 = MakePair(size2, {y});
    struct Case {
        const char *name;
        int start, end;
        bool fromCursors;
        std::size_t first, length;
        std::optional<double> r;
    };
    const Case cases[] = {
        {"stretch of 100 uses samples 1000..1099", 1000, 1100, true, 1000, 100, 1.0},
        {"stretch of 99 uses 0..shorter Size-3", 1000, 1099, false, 0, 1198, (100.0 - 1098.0) / 1198.0},
        {"cursors in reverse order", 1100, 1000, false, 0, 1198, (100.0 - 1098.0) / 1198.0},
        {"end beyond the shorter pair is cut", 1000, 5000, true, 1000, 200, 0.0},
        {"start beyond both pairs leaves no data", 2000, 2200, true, 2000, 0, std::nullopt},
        {"negative start reads from 0", -50, 100, true, 0, 100, -1.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto t = FrequencyTable(p1, p2, 1, {30, 3000, c.start, c.end});
        ASSERT_TRUE(t);
        EXPECT_EQ(t->fromCursors, c.fromCursors);
        EXPECT_EQ(t->first, c.first);
        EXPECT_EQ(t->length, c.length);
        ASSERT_EQ(t->blades[0].r.has_value(), c.r.has_value());
        if (c.r) {
            EXPECT_NEAR(*t->blades[0].r, *c.r, 1e-12);
        }
    }
}

TEST(NaturalFrequency, BladesWithoutDataAreLeftOutOfTheMeans)
{
    // Blade 0 at a quarter turn, blade 1 in phase, blade 2 all zeros, blade 3
    // without a series, blade 4 shorter than Size (read only as far as it goes).
    const int size = 40;
    const TPair p1 = MakePair(size, {Alternating(size, 1, 0),
                                     Alternating(size, 3, 1),
                                     std::vector<float>(size, 0.0f),
                                     {},
                                     Alternating(6, 0, 1)});
    const TPair p2 =
        MakePair(size, {Alternating(size, 0, 1), Alternating(size, 3, 1), Alternating(size, 1, 1),
                        Alternating(size, 1, 1), Alternating(size, 1, 0)});
    const auto t = FrequencyTable(p1, p2, 5, {30, 3000, 0, 0});
    ASSERT_TRUE(t);
    EXPECT_TRUE(t->blades[0].r);
    EXPECT_TRUE(t->blades[1].r);
    EXPECT_FALSE(t->blades[2].r);
    EXPECT_FALSE(t->blades[3].r);
    ASSERT_TRUE(t->blades[4].r);
    EXPECT_NEAR(*t->blades[4].r, 0.0, 1e-12);

    // f0 of the three blades with data: 150, 0, 150.
    EXPECT_EQ(t->columns[0].count, 3u);
    EXPECT_NEAR(t->columns[0].mean, 100, 1e-4);
    EXPECT_NEAR(t->columns[0].rms, std::sqrt((50.0 * 50 * 2 + 100.0 * 100) / 2), 1e-3);

    const std::vector<float> result = t->ResultArray(1);
    ASSERT_EQ(result.size(), 6u);
    EXPECT_NEAR(result[0], t->columns[1].mean, 1e-3);
    EXPECT_NEAR(result[1], 450, 1e-3);
    EXPECT_NEAR(result[2], 2 * kPi * t->k, 1e-3);
    EXPECT_EQ(result[3], 0.0f);
    EXPECT_EQ(result[4], 0.0f);
}

TEST(NaturalFrequency, SingleBladeMeanIsItsValue)
{
    const auto t = FrequencyTable(MakePair(40, {Alternating(40, 1, 0)}),
                                  MakePair(40, {Alternating(40, 0, 1)}), 1, {30, 3000, 0, 0});
    ASSERT_TRUE(t);
    EXPECT_NEAR(t->columns[3].mean, 1050, 1e-3);
    EXPECT_EQ(t->columns[3].rms, 0);
}

TEST(NaturalFrequency, PhaseIsClampedAgainstRounding)
{
    EXPECT_EQ(PhaseOf(1 + 1e-15), 0.0);
    EXPECT_DOUBLE_EQ(PhaseOf(-1 - 1e-15), kPi);
    EXPECT_DOUBLE_EQ(PhaseOf(0), kPi / 2);
}

TEST(NaturalFrequency, MeanRotation)
{
    TPair p;
    EXPECT_FALSE(MeanRotation(p));
    p.Freq = {2990, 3010, 9999};
    p.Size = 2; // the third sample is beyond the pair's Size
    EXPECT_FLOAT_EQ(*MeanRotation(p), 3000);
    p.Size = 1;
    EXPECT_FLOAT_EQ(*MeanRotation(p), 2990);
    p.Size = 10; // longer than the series: only what is there
    EXPECT_FLOAT_EQ(*MeanRotation(p), (2990.0f + 3010 + 9999) / 3);
}

TEST(NodalDiameter, PitchList)
{
    const std::vector<TPitchRow> rows = PitchList(4);
    const char *names[] = {"Fi2 - Fi1", "Fi3 - Fi2", "Fi4 - Fi3", "Fi1 - Fi4"};
    ASSERT_EQ(rows.size(), 4u);
    double total = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(rows[i].name, names[i]);
        EXPECT_EQ(rows[i].value, 90.0);
        total += rows[i].value;
    }
    EXPECT_EQ(total, 360.0);
    ASSERT_EQ(PitchList(1).size(), 1u);
    EXPECT_EQ(PitchList(1)[0].name, "Fi1 - Fi1");
    EXPECT_TRUE(PitchList(0).empty());
}

TEST(NodalDiameter, RoundingAndChoice)
{
    struct Round {
        double v, r;
    };
    for (const Round c : {Round{2.5, 2}, {3.5, 4}, {-2.5, -2}, {-3.5, -4}, {2.4999, 2}, {2.6, 3}, {0.5, 0}})
        EXPECT_EQ(RoundHalfEven(c.v), c.r) << c.v;

    struct Choice {
        const char *name;
        double m1, m2, m;
    };
    const Choice cases[] = {
        {"m1 nearer", 3.2, -1.2, 3},          {"m2 nearer", 3.4, -1.05, -1},
        {"equal errors: m2", 2.5, -1.25, -1}, {"m1 rounds to 0: m2", 0.3, -2.2, -2},
        {"m2 rounds to 0: m1", 2.6, 0.2, 3},  {"both round to 0", 0.4, -0.4, 0},
    };
    for (const Choice &c : cases)
        EXPECT_EQ(ChooseNodalDiameter(c.m1, c.m2), c.m) << c.name;
}

TEST(NodalDiameter, TravellingWaveOfKnownOrder)
{
    // Four blades, one nodal diameter: neighbours are a quarter period apart
    // (blade 3 to blade 0 as well), 10 whole periods in Size - 2 samples.
    const int n = 4, size = 82;
    std::vector<std::vector<float>> series(n);
    for (int b = 0; b < n; ++b)
        for (int t = 0; t < size; ++t)
            series[static_cast<std::size_t>(b)].push_back(
                static_cast<float>(std::cos(2 * kPi * t / 8 + b * kPi / 2)));
    const TPair pair = MakePair(size, series);

    struct Case {
        const char *name;
        std::vector<bool> checked;
        double qMean, m1, m2, m;
    };
    // f_rot = 50 Hz, P = 110 Hz: m1,2 = q +- 2.2.
    const Case cases[] = {
        {"no blade checked", {false, false, false, false}, 1, 3.2, -1.2, 3},
        {"blade 1 taken the other way round", {true, false, false, false}, 1.5, 3.7, -0.7, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const TNodalEstimate e =
            NodalDiameters(pair, n, {std::vector<double>(n, 90.0), c.checked, 110, 3000});
        ASSERT_EQ(e.q.size(), 4u);
        EXPECT_NEAR(*e.q[1], 1, 1e-6);
        EXPECT_NEAR(*e.q[0], c.checked[0] ? 3 : 1, 1e-6);
        EXPECT_NEAR(*e.qMean, c.qMean, 1e-6);
        EXPECT_NEAR(*e.m1, c.m1, 1e-6);
        EXPECT_NEAR(*e.m2, c.m2, 1e-6);
        EXPECT_EQ(*e.m, c.m);
    }
}

TEST(NodalDiameter, MissingDataGivesNoValues)
{
    const int size = 20;
    const std::vector<float> a = Alternating(size, 1, 2);
    // Blade 1 all zeros: blades 0 and 1 have no q; blade 2 has a pitch of 0.
    const TPair pair = MakePair(size, {a, std::vector<float>(size, 0.0f), a, a});
    const TNodalEstimate e = NodalDiameters(pair, 4, {{90, 90, 0, 90}, {}, 110, 3000});
    EXPECT_FALSE(e.q[0]);
    EXPECT_FALSE(e.q[1]);
    EXPECT_FALSE(e.q[2]);
    ASSERT_TRUE(e.q[3]);
    EXPECT_NEAR(*e.q[3], 0, 1e-6);
    EXPECT_NEAR(*e.qMean, 0, 1e-6);
    EXPECT_TRUE(e.m);

    // Without a rotation speed there is no estimate, only q.
    const TNodalEstimate noSpeed = NodalDiameters(pair, 4, {{90, 90, 90, 90}, {}, 110, 0});
    EXPECT_TRUE(noSpeed.qMean);
    EXPECT_FALSE(noSpeed.m1);
    EXPECT_FALSE(noSpeed.m);

    // No series at all, a full stage and a pair shorter than 3 samples.
    const TNodalEstimate empty =
        NodalDiameters(TPair{}, kMaxBlades, {std::vector<double>(kMaxBlades, 1), {}, 1, 1});
    EXPECT_EQ(empty.q.size(), kMaxBlades);
    EXPECT_FALSE(empty.qMean);
    EXPECT_FALSE(empty.m);
    EXPECT_FALSE(NodalDiameters(MakePair(2, {a, a}), 2, {{180, 180}, {}, 1, 60}).qMean);
}

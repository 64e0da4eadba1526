// Periodic generators: the running phase, the shapes at known phases, duty
// clamping and table playback.
#include "sigmath/generators.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

using PeriodicFn = std::function<int32_t(int32_t, double, double, double *, double *)>;

struct Periodic {
    std::string name;
    PeriodicFn call;
};

const double kTable[] = {1.0, 2.0, 4.0, 8.0, -2.385};

std::vector<Periodic> periodicGenerators()
{
    return {
        {"SineWave", SineWave},
        {"SquareWave", [](int32_t n, double a, double f, double *ph,
                          double *out) { return SquareWave(n, a, f, ph, 37.5, out); }},
        {"SawtoothWave", SawtoothWave},
        {"TriangleWave", TriangleWave},
        {"ArbitraryWave", [](int32_t n, double a, double f, double *ph,
                             double *out) { return ArbitraryWave(n, a, f, ph, kTable, 5, 1, out); }},
    };
}

double reduced(double degrees)
{
    double p = std::fmod(degrees, 360.0);
    return p < 0.0 ? p + 360.0 : p;
}

TEST(PeriodicGenerators, PhaseAfterNSamplesAndContinuationAcrossCalls)
{
    struct Case {
        double frequency, phase;
        int32_t n;
    };
    for (const auto &gen : periodicGenerators()) {
        for (const Case c : {Case{0.0137, 33.3, 1000}, Case{-0.0213, 12.5, 77}, Case{0.25, 0.0, 9},
                             Case{1.37, 719.0, 31}, Case{0.0, -45.0, 5}}) {
            SCOPED_TRACE(gen.name + " f=" + std::to_string(c.frequency) + " n=" + std::to_string(c.n));
            std::vector<double> whole(static_cast<size_t>(c.n));
            double phase = c.phase;
            ASSERT_EQ(gen.call(c.n, 2.385, c.frequency, &phase, whole.data()), 0);
            EXPECT_GE(phase, 0.0);
            EXPECT_LT(phase, 360.0);
            const double expected = reduced(c.phase + c.n * 360.0 * c.frequency);
            // Compared on the circle: 359.9999 and 0.0001 are close.
            const double diff = std::fabs(phase - expected);
            EXPECT_LT(std::min(diff, 360.0 - diff), 1e-9);

            // Two blocks continue one signal.
            const int32_t first = c.n / 2;
            std::vector<double> parts(static_cast<size_t>(c.n));
            double running = c.phase;
            ASSERT_EQ(gen.call(first, 2.385, c.frequency, &running, parts.data()), 0);
            ASSERT_EQ(gen.call(c.n - first, 2.385, c.frequency, &running, parts.data() + first), 0);
            for (size_t i = 0; i < whole.size(); ++i)
                EXPECT_NEAR(parts[i], whole[i], 1e-9) << "i=" << i;
        }
    }
}

TEST(SineWave, QuarterFrequencyStepsThroughTheAxes)
{
    std::vector<double> out(7);
    double phase = 0.0;
    ASSERT_EQ(SineWave(7, 2.385, 0.25, &phase, out.data()), 0);
    const double expected[] = {0, 2.385, 0, -2.385, 0, 2.385, 0};
    for (size_t i = 0; i < 7; ++i)
        EXPECT_NEAR(out[i], expected[i], 1e-14) << i;
    EXPECT_DOUBLE_EQ(phase, 270.0); // 90 * 7 = 630
}

TEST(PeriodicShapes, ValuesAtEighthsOfAPeriod)
{
    const double a = 2.385;
    struct Case {
        std::string name;
        PeriodicFn call;
        std::vector<double> unit; // shape for amplitude 1 at 0, 45, ..., 315 degrees
    };
    const std::vector<Case> cases{
        {"SawtoothWave", SawtoothWave, {0, 0.25, 0.5, 0.75, -1, -0.75, -0.5, -0.25}},
        {"TriangleWave", TriangleWave, {0, 0.5, 1, 0.5, 0, -0.5, -1, -0.5}},
        {"SquareWave 50%",
         [](int32_t n, double amp, double f, double *ph, double *out) {
             return SquareWave(n, amp, f, ph, 50, out);
         },
         {1, 1, 1, 1, -1, -1, -1, -1}},
        {"SquareWave 150% is 100%",
         [](int32_t n, double amp, double f, double *ph, double *out) {
             return SquareWave(n, amp, f, ph, 150, out);
         },
         {1, 1, 1, 1, 1, 1, 1, 1}},
        {"SquareWave -5% is 0%",
         [](int32_t n, double amp, double f, double *ph, double *out) {
             return SquareWave(n, amp, f, ph, -5, out);
         },
         {-1, -1, -1, -1, -1, -1, -1, -1}},
        {"SquareWave 12.5%",
         [](int32_t n, double amp, double f, double *ph, double *out) {
             return SquareWave(n, amp, f, ph, 12.5, out);
         },
         {1, -1, -1, -1, -1, -1, -1, -1}},
    };
    for (const auto &c : cases) {
        std::vector<double> out(8);
        double phase = 0.0;
        ASSERT_EQ(c.call(8, a, 0.125, &phase, out.data()), 0) << c.name;
        for (size_t i = 0; i < 8; ++i)
            EXPECT_NEAR(out[i], a * c.unit[i], 1e-14) << c.name << " i=" << i;
        EXPECT_EQ(phase, 0.0) << c.name;
    }
}

TEST(ArbitraryWave, PlaysTableWithAndWithoutInterpolation)
{
    const double table[] = {1, 2, 4, 8};
    struct Case {
        int32_t interpolation;
        std::vector<double> values;
    };
    for (const Case &c : {Case{1, {1, 1.5, 2, 3, 4, 6, 8, 4.5}}, Case{0, {1, 1, 2, 2, 4, 4, 8, 8}},
                          Case{7, {1, 1, 2, 2, 4, 4, 8, 8}}}) {
        std::vector<double> out(8);
        double phase = 0.0;
        ASSERT_EQ(ArbitraryWave(8, -2.385, 0.125, &phase, table, 4, c.interpolation, out.data()), 0);
        for (size_t i = 0; i < 8; ++i)
            EXPECT_DOUBLE_EQ(out[i], -2.385 * c.values[i]) << "interp=" << c.interpolation << " i=" << i;
        EXPECT_EQ(phase, 0.0);
    }
    // The start phase is in degrees whatever the table size: 90 degrees is entry 1.
    std::vector<double> out(1);
    double phase = 90.0;
    ASSERT_EQ(ArbitraryWave(1, 1.0, 0.125, &phase, table, 4, 0, out.data()), 0);
    EXPECT_EQ(out[0], 2.0);
    EXPECT_DOUBLE_EQ(phase, 135.0);
}

TEST(ArbitraryWave, EmptyTableGivesSilenceAndKeepsThePhaseRunning)
{
    std::vector<double> out(4, 9.0);
    double phase = 10.0;
    ASSERT_EQ(ArbitraryWave(4, 2.385, 0.125, &phase, nullptr, 0, 1, out.data()), 0);
    EXPECT_EQ(out, std::vector<double>(4, 0.0));
    EXPECT_DOUBLE_EQ(phase, 190.0);
}

TEST(ArbitraryWave, NonFinitePhaseGivesNaNWithoutReadingOutsideTheTable)
{
    const double table[] = {1, 2, 4, 8};
    for (double start : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        std::vector<double> out(3);
        double phase = start;
        ASSERT_EQ(ArbitraryWave(3, 1.0, 0.1, &phase, table, 4, 1, out.data()), 0);
        for (double v : out)
            EXPECT_TRUE(std::isnan(v));
    }
}

} // namespace

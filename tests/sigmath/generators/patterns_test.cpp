// Non-periodic generators: exact patterns, closed forms and argument checks.
#include "sigmath/generators.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr double kPi = std::numbers::pi;

TEST(Patterns, ImpulsePulseTriangle)
{
    std::vector<double> out(5, 9.0);
    ASSERT_EQ(Impulse(5, 2.385, 4, out.data()), 0);
    EXPECT_EQ(out, (std::vector<double>{0, 0, 0, 0, 2.385}));

    ASSERT_EQ(Pulse(5, 2.385, 1, 3, out.data()), 0);
    EXPECT_EQ(out, (std::vector<double>{0, 2.385, 2.385, 2.385, 0}));
    ASSERT_EQ(Pulse(5, 2.385, 5, 0, out.data()), 0); // empty pulse at the very end
    EXPECT_EQ(out, std::vector<double>(5, 0.0));

    struct Case {
        int32_t n;
        std::vector<double> unit;
    };
    for (const Case &c : {Case{2, {0, 1}}, Case{3, {0, 1, 0}}, Case{5, {0, 0.5, 1, 0.5, 0}},
                          Case{6, {0, 1.0 / 3, 2.0 / 3, 1, 2.0 / 3, 1.0 / 3}}}) {
        std::vector<double> tri(static_cast<size_t>(c.n), 9.0);
        ASSERT_EQ(Triangle(c.n, 2.385, tri.data()), 0);
        for (size_t i = 0; i < tri.size(); ++i)
            EXPECT_NEAR(tri[i], 2.385 * c.unit[i], 1e-15) << "n=" << c.n << " i=" << i;
    }
}

TEST(Patterns, RampIsLinearFromFirstToLast)
{
    std::vector<double> out(11);
    ASSERT_EQ(Ramp(11, 2.385, -7.1, out.data()), 0);
    EXPECT_EQ(out[0], 2.385);
    for (size_t i = 0; i < out.size(); ++i)
        EXPECT_NEAR(out[i], 2.385 + (-7.1 - 2.385) * static_cast<double>(i) / 10.0, 1e-14) << i;
}

TEST(Patterns, SinePatternSincChirpMatchClosedForms)
{
    const int32_t n = 64;
    std::vector<double> out(n);
    ASSERT_EQ(SinePattern(n, 2.385, 30.0, 3.5, out.data()), 0);
    for (int i = 0; i < n; ++i)
        EXPECT_NEAR(out[static_cast<size_t>(i)], 2.385 * std::sin(kPi / 6 + 2 * kPi * 3.5 * i / n), 1e-12);
    ASSERT_EQ(SinePattern(n, 2.385, 0.0, 64.0, out.data()), 0); // cycles == n is allowed

    ASSERT_EQ(Sinc(n, 2.385, 1.5, 0.25, out.data()), 0);
    EXPECT_EQ(out[6], 2.385); // i * dt == delay
    for (int i = 0; i < n; ++i) {
        const double x = kPi * (i * 0.25 - 1.5);
        if (i != 6) {
            EXPECT_NEAR(out[static_cast<size_t>(i)], 2.385 * std::sin(x) / x, 1e-14);
        }
    }

    ASSERT_EQ(Chirp(n, 2.385, 0.05, 0.2, out.data()), 0);
    for (int i = 0; i < n; ++i) {
        // Instantaneous frequency runs from f1 at i = 0 to f2 at i = n.
        const double angle = 2 * kPi * (0.05 * i + (0.2 - 0.05) * i * i / (2.0 * n));
        EXPECT_NEAR(out[static_cast<size_t>(i)], 2.385 * std::sin(angle), 1e-12);
    }
}

TEST(Generators, ArgumentErrorsInOrderLeaveOutputUntouched)
{
    const double table[] = {1.0};
    struct Case {
        std::string name;
        std::function<int32_t(double *, double *)> call; // (out, phase)
        int32_t code;
    };
    const std::vector<Case> cases{
        {"Impulse n", [](double *o, double *) { return Impulse(0, 1, -1, o); }, -20003},
        {"Impulse index<0", [](double *o, double *) { return Impulse(4, 1, -1, o); }, -20017},
        {"Impulse index=n", [](double *o, double *) { return Impulse(4, 1, 4, o); }, -20017},
        {"Pulse n", [](double *o, double *) { return Pulse(0, 1, -1, 9, o); }, -20003},
        {"Pulse delay", [](double *o, double *) { return Pulse(4, 1, -1, 1, o); }, -20014},
        {"Pulse width", [](double *o, double *) { return Pulse(4, 1, 1, -1, o); }, -20014},
        {"Pulse end", [](double *o, double *) { return Pulse(4, 1, 2, 3, o); }, -20014},
        {"Pulse wrap", [](double *o, double *) { return Pulse(4, 1, INT_MAX, INT_MAX, o); }, -20014},
        {"Ramp", [](double *o, double *) { return Ramp(1, 1, 2, o); }, -20006},
        {"Triangle", [](double *o, double *) { return Triangle(1, 1, o); }, -20006},
        {"SinePattern n", [](double *o, double *) { return SinePattern(0, 1, 0, 9, o); }, -20003},
        {"SinePattern cycles", [](double *o, double *) { return SinePattern(4, 1, 0, 4.5, o); }, -20012},
        {"Sinc n", [](double *o, double *) { return Sinc(0, 1, 0, 0, o); }, -20003},
        {"Sinc dt=0", [](double *o, double *) { return Sinc(4, 1, 0, 0, o); }, -20016},
        {"Sinc dt<0", [](double *o, double *) { return Sinc(4, 1, 0, -0.5, o); }, -20016},
        {"Sinc dt NaN", [](double *o, double *) { return Sinc(4, 1, 0, std::nan(""), o); }, -20016},
        {"Chirp", [](double *o, double *) { return Chirp(0, 1, 0.1, 0.2, o); }, -20003},
        {"SineWave", [](double *o, double *p) { return SineWave(0, 1, 0.1, p, o); }, -20003},
        {"SquareWave", [](double *o, double *p) { return SquareWave(-1, 1, 0.1, p, 50, o); }, -20003},
        {"SawtoothWave", [](double *o, double *p) { return SawtoothWave(0, 1, 0.1, p, o); }, -20003},
        {"TriangleWave", [](double *o, double *p) { return TriangleWave(0, 1, 0.1, p, o); }, -20003},
        {"ArbitraryWave", [&](double *o, double *p) { return ArbitraryWave(0, 1, 0.1, p, table, 1, 1, o); },
         -20003},
        {"Uniform", [](double *o, double *) { return Uniform(0, 5, o); }, -20003},
        {"WhiteNoise", [](double *o, double *) { return WhiteNoise(0, 1, 5, o); }, -20003},
        {"GaussNoise", [](double *o, double *) { return GaussNoise(-3, 1, 5, o); }, -20003},
    };
    for (const auto &c : cases) {
        std::vector<double> out(4, 2.385);
        double phase = 123.0;
        EXPECT_EQ(c.call(out.data(), &phase), c.code) << c.name;
        EXPECT_EQ(out, std::vector<double>(4, 2.385)) << c.name;
        EXPECT_EQ(phase, 123.0) << c.name;
    }
}

} // namespace

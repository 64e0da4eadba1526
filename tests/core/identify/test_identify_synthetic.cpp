// Identification on hand-made finished runs whose blades are
// single-degree-of-freedom oscillators with known natural frequency, damping
// and forcing, integrated in time independently of the identification's
// model; and what bad input gets.
#include "synthetic_runup.hpp"

#include "base/errors.hpp"
#include "identify/identify.hpp"
#include "identify/resonance_table.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace vibrolan;
using namespace vibrolan::identify;
using vibrolan::test::SynthRun;
using vibrolan::test::SynthRunUp;

namespace {

// Two resonances (EO 4 near 300 Hz, EO 7 near 600 Hz), 1 % mistuning, noise
// of a fifth of the static forcing, five pairs at irregular angles.
SynthRun twoModes(double seconds)
{
    SynthRun run;
    run.modes = {{4, 300, 0.005, 0.02}, {7, 600, 0.008, 0.01}};
    run.mistuning = 0.01;
    run.noise = 0.002;
    run.transient = true;
    run.seconds = seconds;
    return run;
}

const BladeResonance *find(const IdentifyResult &r, int blade, int eo)
{
    for (const BladeResonance &x : r.resonances)
        if (x.blade == blade && x.engineOrder == eo)
            return &x;
    return nullptr;
}

// Every blade and mode identified within the bounds.
void expectModes(const SynthRunUp &s, const IdentifyResult &r, const SynthRun &run, double f, double z,
                 double a)
{
    EXPECT_EQ(r.resonances.size(), run.modes.size() * static_cast<std::size_t>(run.blades));
    for (const auto &t : s.truth()) {
        SCOPED_TRACE("blade " + std::to_string(t.blade + 1) + " mode " + std::to_string(t.mode));
        const BladeResonance *x = find(r, t.blade, run.modes[static_cast<std::size_t>(t.mode)].eo);
        ASSERT_NE(x, nullptr);
        EXPECT_NEAR(x->frequencyHz, t.hz, f * t.hz);
        EXPECT_NEAR(x->dampingRatio, t.zeta, z * t.zeta);
        EXPECT_NEAR(x->amplitude, t.amplitude, a * t.amplitude);
        EXPECT_EQ(x->pairs, static_cast<int>(run.fiDeg.size()));
        EXPECT_GT(x->quality, 0.8);
    }
}

} // namespace

// A slow sweep (60 s) and a fast one (6 s, the peaks a fifth lower than
// steady state), against the blades' integrated response.
TEST(IdentifySynthetic, SlowAndFastSweepsOfIntegratedBlades)
{
    for (const auto &[seconds, f, z, a] :
         {std::tuple{60.0, 0.001, 0.15, 0.05}, std::tuple{6.0, 0.002, 0.25, 0.10}}) {
        SCOPED_TRACE(std::to_string(seconds) + " s");
        const SynthRun run = twoModes(seconds);
        SynthRunUp s(run);
        const IdentifyResult r = IdentifyResonances(s.cfg(), {});
        expectModes(s, r, run, f, z, a);
        EXPECT_TRUE(r.notIdentifiable.empty());
        for (const BladeResonance &x : r.resonances)
            EXPECT_TRUE(x.sweepInRange);
    }
}

// The CSV of a run: the fixed header, one row per blade and resonance in the
// order of stage, speed and blade, numbers with "." whatever the locale.
TEST(IdentifySynthetic, CsvRowsInOrder)
{
    SynthRunUp s(twoModes(6));
    const IdentifyResult r = IdentifyResonances(s.cfg(), {});
    const std::string csv = ResonancesCsv(r);
    ASSERT_EQ(csv.substr(0, csv.find('\n')), kResonancesCsvHeader);
    EXPECT_EQ(static_cast<std::size_t>(std::count(csv.begin(), csv.end(), '\n')), r.resonances.size() + 1);
    for (std::size_t i = 1; i < r.resonances.size(); ++i) {
        const BladeResonance &p = r.resonances[i - 1], &q = r.resonances[i];
        EXPECT_TRUE(p.speedRpm < q.speedRpm || (p.speedRpm == q.speedRpm && p.blade < q.blade));
    }
    const BladeResonance &x = r.resonances.front();
    const std::string row =
        csv.substr(csv.find('\n') + 1, csv.find('\n', csv.find('\n') + 1) - csv.find('\n') - 1);
    EXPECT_EQ(row.substr(0, 4), "1," + std::to_string(x.blade + 1) + ",");
    EXPECT_EQ(std::count(row.begin(), row.end(), ','), 9);
}

// Non-finite and absurd deflections are dropped (and said so); the rest
// identifies as before.
TEST(IdentifySynthetic, NonFiniteAndHugeSamplesAreDropped)
{
    const SynthRun run = twoModes(6);
    SynthRunUp s(run);
    const IdentifyResult clean = IdentifyResonances(s.cfg(), {});
    auto &ampl = s.cfg().Stages[0].Pairs[1].Ampl[2];
    for (std::size_t i = 5; i < ampl.size(); i += 97)
        ampl[i] = (i / 97) % 3 == 0   ? std::numeric_limits<float>::quiet_NaN()
                  : (i / 97) % 3 == 1 ? std::numeric_limits<float>::infinity()
                                      : 1e30F;
    s.cfg().Stages[0].Pairs[0].Freq[7] = std::numeric_limits<float>::quiet_NaN();
    const IdentifyResult r = IdentifyResonances(s.cfg(), {});
    ASSERT_FALSE(r.notes.empty());
    EXPECT_NE(r.notes.back().find("отброшено"), std::string::npos);
    expectModes(s, r, run, 0.002, 0.25, 0.10);
    ASSERT_EQ(r.resonances.size(), clean.resonances.size());
}

// What cannot be identified is listed with its reason; what cannot be
// identified at all is an error.
TEST(IdentifySynthetic, BadInput)
{
    {
        SCOPED_TRACE("no checked pair");
        SynthRunUp s(twoModes(6));
        for (auto &p : s.cfg().Stages[0].Pairs)
            p.Checked = false;
        EXPECT_THROW(IdentifyResonances(s.cfg(), {}), ValueError);
    }
    {
        SCOPED_TRACE("one pair: the engine order must be given");
        SynthRun run = twoModes(6);
        run.fiDeg = {47};
        SynthRunUp s(run);
        const IdentifyResult r = IdentifyResonances(s.cfg(), {});
        EXPECT_TRUE(r.resonances.empty());
        ASSERT_FALSE(r.notIdentifiable.empty());
        EXPECT_NE(r.notIdentifiable.front().reason.find("--eo"), std::string::npos);
        // Given, the resonance of that order is fitted.
        run.modes.resize(1);
        SynthRunUp one(run);
        IdentifyOptions eo;
        eo.engineOrder = 4;
        const IdentifyResult g = IdentifyResonances(one.cfg(), eo);
        ASSERT_EQ(g.resonances.size(), 5u);
        for (const BladeResonance &x : g.resonances) {
            EXPECT_TRUE(x.eoGiven);
            EXPECT_NEAR(x.frequencyHz, one.truthOf(x.blade, 0).hz, 0.002 * one.truthOf(x.blade, 0).hz);
        }
    }
    {
        SCOPED_TRACE("pairs without angles");
        SynthRunUp s(twoModes(6));
        for (auto &p : s.cfg().Stages[0].Pairs)
            p.fi = 0;
        const IdentifyResult r = IdentifyResonances(s.cfg(), {});
        EXPECT_TRUE(r.resonances.empty());
        ASSERT_FALSE(r.notIdentifiable.empty());
        for (const NotIdentifiable &n : r.notIdentifiable)
            EXPECT_NE(n.reason.find("углами"), std::string::npos) << n.reason;
    }
    {
        SCOPED_TRACE("a steady speed: no resonance crossed");
        SynthRun run = twoModes(6);
        run.rpm0 = run.rpm1 = 3500;
        SynthRunUp s(run);
        const IdentifyResult r = IdentifyResonances(s.cfg(), {});
        EXPECT_TRUE(r.noResonance());
        ASSERT_FALSE(r.notes.empty());
        EXPECT_NE(r.notes.front().find("резонанс не пройден"), std::string::npos);
    }
    {
        SCOPED_TRACE("options out of range");
        SynthRunUp s(twoModes(6));
        IdentifyOptions o;
        o.fromRpm = 5000;
        o.toRpm = 4000;
        EXPECT_THROW(IdentifyResonances(s.cfg(), o), ValueError);
        o = {};
        o.threshold = std::numeric_limits<double>::quiet_NaN();
        EXPECT_THROW(IdentifyResonances(s.cfg(), o), ValueError);
        o = {};
        o.engineOrder = 1000;
        EXPECT_THROW(IdentifyResonances(s.cfg(), o), ValueError);
    }
}

// The speed band keeps the resonances whose speed lies in it.
TEST(IdentifySynthetic, SpeedBandSelectsEvents)
{
    SynthRunUp s(twoModes(6));
    IdentifyOptions o;
    o.fromRpm = 4000;
    o.toRpm = 4800; // EO 4 near 300 Hz: 4500 rpm; EO 7 near 600 Hz: 5140 rpm
    const IdentifyResult r = IdentifyResonances(s.cfg(), o);
    ASSERT_EQ(r.resonances.size(), 5u);
    for (const BladeResonance &x : r.resonances)
        EXPECT_EQ(x.engineOrder, 4);
}

// The engine orders a probe layout tells apart (floor(K / 2), K the first
// multiple of the angle differences that comes back to a whole turn).
TEST(IdentifyEngineOrder, DistinctOrdersOfALayout)
{
    struct Case {
        std::vector<double> angles;
        int expected;
    };
    const Case cases[] = {
        {{0, 10, 20}, 18},       // 36 * 10 degrees is a whole turn
        {{0, 90, 180, 270}, 2},  // EO 1 and 3 look alike
        {{5, 5.2, 90}, 0},       // two angles only
        {{0, 2, 4}, 0},          // too close: even EO 1 and 2 look alike within the tolerance
        {{0, 45, 120, 200}, 36}, // whole turns: 45 k for k = 8 j, 120 k for k = 3 j, 200 k for k = 9 j
    };
    for (const Case &c : cases)
        EXPECT_EQ(MaxDistinctEngineOrder(c.angles), c.expected) << c.angles[1];
}

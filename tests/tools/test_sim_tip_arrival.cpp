// The fast tip-arrival solution against the reference fixed point on the
// full motion model: within a thousandth of a tick for the presets and a
// few hundredths for stages that strain it (strong stall, high engine order, fast run-up,
// arrivals across speed-segment ends). The recording written with either
// differs only where an arrival sits that close to a half tick.
#include "sim_test_support.hpp"

#include "sim/blade_motion.hpp"
#include "sim/geometry.hpp"
#include "sim/shaft.hpp"
#include "sim/tip_arrival.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace vibrolan;
using namespace vibrolan::test;

namespace {

// The largest difference, in ticks, between the fast and the precise
// arrivals of every tip probe of the scenario, over `revs` revolutions
// spread over the run (every blade of each).
double maxErrorTicks(const sim::Scenario &sc, int revs)
{
    const double tick = sc.tickPeriod();
    const sim::Shaft shaft(sc.speed);
    const double totalRevs = [&] {
        double t = 0, theta = 0;
        for (std::size_t i = 0; i + 1 < sc.speed.size(); ++i) {
            const double d = sc.speed[i + 1].timeS - sc.speed[i].timeS;
            theta += (sc.speed[i].rpm + sc.speed[i + 1].rpm) / 120.0 * d;
            t = sc.speed[i + 1].timeS;
        }
        return theta + sc.speed.back().rpm / 60.0 * std::max(0.0, sc.durationS - t);
    }();
    double worst = 0;
    for (std::size_t s = 0; s < sc.stages.size(); ++s) {
        const sim::StageSpec &st = sc.stages[s];
        const sim::StageGeometry geo = sim::stageGeometry(sc, s);
        const sim::BladeMotion motion(st, sc.seed + 977 * s);
        for (std::size_t p = 0; p < st.probes.size(); ++p) {
            if (st.probes[p].kind != sim::ProbeKind::Tip)
                continue;
            sim::TipArrival fast(shaft, motion, geo.offset[p], tick),
                precise(shaft, motion, geo.offset[p], tick);
            const auto step = std::max<std::int64_t>(1, static_cast<std::int64_t>(totalRevs / revs));
            for (std::int64_t rev = 1; rev < static_cast<std::int64_t>(totalRevs); rev += step)
                for (int b = 0; b < st.blades; ++b) {
                    const double e = std::abs(fast.fast(b, rev) - precise.precise(b, rev)) / tick;
                    EXPECT_TRUE(std::isfinite(e));
                    worst = std::max(worst, e);
                }
        }
    }
    return worst;
}

sim::Scenario straining(const char *label)
{
    sim::Scenario sc = sim::preset("runup");
    sim::StageSpec &st = sc.stages[0];
    if (std::strcmp(label, "strong stall") == 0) {
        st.stall = sim::StallSpec{900.0, 0.3, 0.05, 5};
    } else if (std::strcmp(label, "high engine order near resonance") == 0) {
        st.resonances = {{40, 40 * 6000.0 / 60, 0.002, 0.0008}, {3, 3 * 4000.0 / 60, 0.05, 0.2}};
    } else if (std::strcmp(label, "fast run-up, many segments") == 0) {
        sc.speed = {{0, 1000}, {0.5, 12000}, {0.7, 11990}, {1.0, 3000}, {1.3, 3000}, {2.0, 12500}};
        sc.durationS = 2.5;
    }
    sim::validateScenario(sc);
    return sc;
}

} // namespace

TEST(SimulatorTipArrival, FastSolutionWithinHundredthsOfATickOfThePreciseOne)
{
    for (const std::string &name : sim::presetNames()) {
        SCOPED_TRACE(name);
        const double e = maxErrorTicks(sim::preset(name), 400);
        EXPECT_LT(e, 0.001);
        std::printf("  %s: largest difference %.2e ticks\n", name.c_str(), e);
    }
    for (const char *label :
         {"strong stall", "high engine order near resonance", "fast run-up, many segments"}) {
        SCOPED_TRACE(label);
        const double e = maxErrorTicks(straining(label), 400);
        EXPECT_LT(e, 0.02); // the stopping rule's hundredth, plus what the bounds round off
        std::printf("  %s: largest difference %.2e ticks\n", label, e);
    }
}

TEST(SimulatorTipArrival, RecordingsOfBothSolutionsDifferOnlyInRareRoundings)
{
    for (const std::string name : {"runup", "faults"}) {
        SCOPED_TRACE(name);
        const sim::Scenario sc = shortPreset(name);
        TempDir a, b;
        sim::SimulationOptions opt;
        opt.truth = false;
        opt.outDir = a.path();
        const auto fast = sim::simulate(sc, opt);
        opt.outDir = b.path();
        opt.preciseArrivals = true;
        const auto precise = sim::simulate(sc, opt);
        const std::string x = fileBytes(fast.bld), y = fileBytes(precise.bld);
        ASSERT_EQ(x.size(), y.size());
        ASSERT_EQ(fast.records, precise.records);
        const std::size_t head = x.size() - 6 * fast.records;
        EXPECT_EQ(x.compare(0, head, y, 0, head), 0);
        std::uint64_t differ = 0;
        for (std::size_t k = 0; k < fast.records; ++k) {
            std::uint32_t tx, ty;
            std::memcpy(&tx, x.data() + head + 6 * k + 2, 4); // after the channel and marker bytes
            std::memcpy(&ty, y.data() + head + 6 * k + 2, 4);
            const bool same = x.compare(head + 6 * k, 6, y, head + 6 * k, 6) == 0;
            if (!same) {
                ++differ;
                // The same channel (or a swap of neighbours) one tick apart at most.
                // (the counter wraps: the difference as a signed 32-bit number)
                EXPECT_LE(std::abs(static_cast<std::int32_t>(tx - ty)), 1) << k;
            }
        }
        // An arrival off by under a hundredth of a tick changes its
        // rounding with a chance of about 2 %; of all records, far fewer.
        EXPECT_LT(static_cast<double>(differ), 0.01 * static_cast<double>(fast.records));
        EXPECT_EQ(fast.pairs.size(), precise.pairs.size());
    }
}

TEST(SimulatorTipArrival, BlockFormGivesTheSameNumbersAsOneByOne)
{
    // Over segment ends and the strained stages too, where some pulses take
    // Newton steps; and a stage of the large preset, whose checks hold over
    // the whole run and are not made pulse by pulse in the block form.
    const struct {
        const char *label;
        sim::Scenario scenario;
        const char *probe;
    } cases[] = {
        {"fast run-up, many segments", straining("fast run-up, many segments"), "P1"},
        {"strong stall", straining("strong stall"), "P1"},
        {"high engine order near resonance", straining("high engine order near resonance"), "P1"},
        {"large", sim::preset("large"), "B1"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        const sim::Scenario &sc = c.scenario;
        const sim::Shaft shaft(sc.speed);
        const sim::StageSpec &st = sc.stages[0];
        const sim::StageGeometry geo = sim::stageGeometry(sc, 0);
        const sim::BladeMotion motion(st, sc.seed);
        const int tip = sim::probeIndex(st, c.probe);
        ASSERT_GE(tip, 0);
        sim::TipArrival single(shaft, motion, geo.offset[tip], sc.tickPeriod());
        sim::TipArrival block(shaft, motion, geo.offset[tip], sc.tickPeriod());
        std::vector<std::int32_t> blade;
        std::vector<std::int64_t> rev;
        for (std::int64_t r = 1; r < 600; r += 3)
            for (int b = 0; b < st.blades; b += 5) {
                blade.push_back(b);
                rev.push_back(r);
            }
        std::vector<double> got(blade.size());
        block.fast(blade.data(), rev.data(), got.data(), blade.size());
        for (std::size_t i = 0; i < blade.size(); ++i)
            ASSERT_EQ(got[i], single.fast(blade[i], rev[i]))
                << "blade " << blade[i] << " revolution " << rev[i];
    }
}

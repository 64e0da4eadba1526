// The tacho and the blade probes made a revolution at a time give exactly
// the pulses, in exactly the order, of their separate sources merged:
// random missing pulses and timing noise included, both tip solvers, with
// and without the tacho, and crossing the revolutions where deflected or
// noisy pulses overtake their neighbours.
#include "sim/geometry.hpp"
#include "sim/revolution_source.hpp"
#include "sim/scenario.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <iomanip>
#include <memory>
#include <stdexcept>
#include <string>

using namespace vibrolan;

namespace {

struct Stages {
    std::vector<sim::StageGeometry> geo;
    std::vector<std::unique_ptr<sim::BladeMotion>> motion;
    std::vector<const sim::BladeMotion *> motionOf;
    explicit Stages(const sim::Scenario &sc)
    {
        for (std::size_t s = 0; s < sc.stages.size(); ++s) {
            geo.push_back(sim::stageGeometry(sc, s));
            motion.push_back(std::make_unique<sim::BladeMotion>(sc.stages[s], sc.seed + 977 * s));
            motionOf.push_back(motion.back().get());
        }
    }
};

} // namespace

TEST(SimulatorRevolutionSource, SameStreamAsTheSeparateSourcesMerged)
{
    const struct {
        const char *label;
        sim::Scenario scenario;
        bool tacho, precise;
        int count;
    } cases[] = {
        {"run-up", sim::preset("runup"), true, false, 60000},
        {"faults: missing pulses and timing noise", sim::preset("faults"), true, false, 60000},
        {"faults, precise solver", sim::preset("faults"), true, true, 8000},
        {"large, without the tacho", sim::preset("large"), false, false, 40000},
        {"noise as large as allowed, a pulse missing in two",
         [] {
             sim::Scenario s = sim::preset("rundown");
             s.faults = {0.5, 0, 0};
             // The largest noise the scenario check lets through reorders neighbours.
             int blades = 0;
             for (const auto &stage : s.stages)
                 blades = std::max(blades, stage.blades);
             s.faults.jitterNs = 1e9 * 60.0 / 9000.0 / blades / 20.0 * 0.999;
             sim::validateScenario(s);
             return s;
         }(),
         true, false, 60000},
    };
    // Alone; with the solves of the batches of revolutions shared with the
    // source's own thread; and filled by a merger's thread while the thread
    // that takes the pulses helps with the solves whenever it waits.
    enum class Way { alone, shared, helped };
    for (const auto &c : cases)
        for (const Way way : {Way::alone, Way::shared, Way::helped}) {
            const bool shared = way == Way::shared;
            SCOPED_TRACE(std::string(c.label) + (shared               ? ", solves shared"
                                                 : way == Way::helped ? ", filled by a merger's thread"
                                                                      : ""));
            const sim::Scenario &sc = c.scenario;
            const Stages st(sc);
            const sim::Shaft shaft(sc.speed);
            const double tick = sc.tickPeriod();
            sim::PulseMerger separate;
            if (c.tacho)
                separate.add(sim::makeTachoSource(shaft, tick, sc.tacho.divisor, sc.tacho.channel - 1));
            for (std::size_t s = 0; s < sc.stages.size(); ++s)
                for (std::size_t p = 0; p < sc.stages[s].probes.size(); ++p)
                    separate.add(sim::makeProbeSource(shaft, tick, sc.stages[s], st.geo[s], *st.motion[s],
                                                      static_cast<int>(s), static_cast<int>(p), sc.faults,
                                                      sc.seed, c.precise));
            auto whole =
                sim::makeRevolutionSource(shaft, tick, sc, st.geo, st.motionOf, c.tacho, c.precise, shared);
            sim::PulseMerger filled(1);
            if (way == Way::helped)
                filled.add(std::move(whole));
            double last = 0;
            for (int i = 0; i < c.count; ++i) {
                const sim::Pulse want = separate.next(),
                                 got = way == Way::helped ? filled.next() : whole->next();
                ASSERT_EQ(got.recTicks, want.recTicks)
                    << "pulse " << i << std::setprecision(17) << " " << got.recTicks << " " << want.recTicks
                    << " ch " << int(got.channel) << "/" << int(want.channel) << " b " << got.blade << "/"
                    << want.blade;
                ASSERT_EQ(got.exactTicks, want.exactTicks) << "pulse " << i;
                ASSERT_EQ(got.channel, want.channel) << "pulse " << i;
                ASSERT_EQ(got.blade, want.blade) << "pulse " << i;
                ASSERT_EQ(got.stage, want.stage) << "pulse " << i;
                ASSERT_EQ(got.probe, want.probe) << "pulse " << i;
                ASSERT_GE(got.recTicks, last) << "pulse " << i;
                last = got.recTicks;
            }
        }
}

TEST(SimulatorRevolutionSource, NothingToMakeIsRefusedRatherThanLoopingForever)
{
    sim::Scenario sc = sim::preset("steady");
    const sim::Shaft shaft(sc.speed);
    sc.stages.clear(); // no probes, and no tacho asked for
    EXPECT_THROW(sim::makeRevolutionSource(shaft, sc.tickPeriod(), sc, {}, {}, false), std::invalid_argument);
}

// Scenario files: what is accepted and the errors that name the field to fix.
#include "base/errors.hpp"
#include "sim/scenario.hpp"

#include <gtest/gtest.h>

using namespace vibrolan;

namespace {

const char *kGood = R"({
  "name": "t", "seed": 5, "recorder_code": 1280, "start_ticks": 4294000000, "duration_s": 4,
  "speed": {"points": [[0, 3000], [4, 4000]]},
  "tacho": {"divisor": 3, "channel": 1},
  "faults": {"missing_probability": 0.01, "jitter_ns": 5},
  "analysis": {"mode": "steady", "dN": 20, "range": [0.5, 3]},
  "stages": [{"name": "A", "blades": 30, "diameter_mm": 700,
              "probes": [{"name": "K", "channel": 2, "kind": "root", "angle_deg": 0},
                         {"name": "P", "channel": 3, "kind": "tip", "angle_deg": 3}],
              "pairs": [{"name": "AP", "root": "K", "tip": "P"}],
              "resonances": [{"eo": 4, "natural_hz": 250, "damping": 0.02, "forcing_mm": 0.01}],
              "stall": {"freq_hz": 77.7, "amplitude_mm": 0.02}}]})";

std::string withReplaced(const std::string &from, const std::string &to)
{
    std::string s = kGood;
    const auto at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return s.replace(at, from.size(), to);
}

} // namespace

TEST(SimulatorScenario, ParsesEveryField)
{
    const sim::Scenario s = sim::parseScenario(kGood);
    EXPECT_EQ(s.seed, 5u);
    EXPECT_EQ(s.recorderCode, 1280);
    EXPECT_DOUBLE_EQ(s.tickPeriod(), 1.25e-8);
    EXPECT_EQ(s.startTicks, 4294000000u);
    EXPECT_EQ(s.tacho.divisor, 3);
    ASSERT_EQ(s.speed.size(), 2u);
    EXPECT_TRUE(s.analysis.steady);
    EXPECT_DOUBLE_EQ(*s.analysis.rangeTo, 3);
    ASSERT_EQ(s.stages.size(), 1u);
    EXPECT_EQ(s.stages[0].resonances[0].engineOrder, 4);
    ASSERT_TRUE(s.stages[0].stall);
    EXPECT_DOUBLE_EQ(s.stages[0].stall->freqHz, 77.7);
    EXPECT_DOUBLE_EQ(s.faults.jitterNs, 5);
}

TEST(SimulatorScenario, ErrorsNameTheField)
{
    const struct {
        const char *from, *to, *field;
    } cases[] = {
        {"\"blades\": 30", "\"blades\": 256", "stages[0].blades"},
        {"\"blades\": 30", "\"blades\": \"many\"", "stages[0].blades"},
        {"\"channel\": 3", "\"channel\": 2", "stages[0].probes[1]"},
        {"\"kind\": \"tip\"", "\"kind\": \"side\"", "stages[0].probes[1].kind"},
        {"\"tip\": \"P\"", "\"tip\": \"Q\"", "stages[0].pairs[0].tip"},
        {"\"tip\": \"P\"", "\"tip\": \"K\"", "stages[0].pairs[0].tip"},
        {"[4, 4000]", "[0, 4000]", "speed.points[1]"},
        {"[0, 3000]", "[0, 30]", "speed.points[0]"},
        {"\"divisor\": 3", "\"divisor\": 255", "tacho.divisor"},
        {"\"dN\": 20", "\"dN\": 20, \"typo\": 1", "analysis.typo"},
        {"\"jitter_ns\": 5", "\"jitter_ns\": 250", "faults.jitter_ns"},
        {"\"name\": \"AP\"", "\"name\": \"\"", "stages[0].pairs[0].name"},
        {"\"angle_deg\": 3", "\"angle_deg\": 6", "stages[0].pairs[0]"},
        {"\"forcing_mm\": 0.01", "\"forcing_mm\": 20", "stages[0]"},
        {"\"angle_deg\": 3", "\"angle_deg\": 300", "stages[0].pairs[0].tip"},
        {"\"duration_s\": 4", "\"duration_s\": -1", "duration_s"},
        {"\"duration_s\": 4", "\"duration_s\": 1e7", "duration_s"},
        {"\"stages\": [", "\"time_code\": {\"kind\": \"sev\", \"channel\": 9}, \"stages\": [", "time_code"},
        {"\"seed\": 5", "\"seed\": 5, \"response\": \"fast\"", "response"},
        {"\"amplitude_mm\": 0.02", "\"amplitude_mm\": 0.02, \"from_s\": 2, \"to_s\": 1",
         "stages[0].stall.to_s"},
        {"\"amplitude_mm\": 0.02", "\"amplitude_mm\": 0.02, \"from_s\": 5", "stages[0].stall.from_s"},
        {"\"amplitude_mm\": 0.02", "\"amplitude_mm\": 0.02, \"drift_hz_per_s\": -20",
         "stages[0].stall.drift_hz_per_s"},
        {"\"amplitude_mm\": 0.02", "\"amplitude_mm\": 0.02, \"modulation_depth\": 2",
         "stages[0].stall.modulation_depth"},
        {"\"stall\":",
         "\"flutter\": {\"natural_hz\": 300, \"amplitude_mm\": 0.02, \"from_s\": 9}, \"stall\":",
         "stages[0].flutter.from_s"},
        {"\"stall\":", "\"flutter\": {\"natural_hz\": 300, \"amplitude_mm\": 0.02, \"nd\": 2}, \"stall\":",
         "stages[0].flutter.nd"},
        {"\"stall\":", "\"flutter\": {\"natural_hz\": 300, \"amplitude_mm\": 40}, \"stall\":", "stages[0]"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.to);
        try {
            sim::parseScenario(withReplaced(c.from, c.to));
            ADD_FAILURE() << "accepted";
        } catch (const ValueError &e) {
            EXPECT_NE(std::string(e.what()).find(c.field), std::string::npos) << e.what();
        }
    }
}

TEST(SimulatorScenario, NewOptionsDefaultOffAndScaleWithTheDuration)
{
    const sim::Scenario plain = sim::parseScenario(kGood);
    EXPECT_EQ(plain.response, sim::ResponseKind::Steady);
    EXPECT_TRUE(plain.stages[0].stall->plain());
    EXPECT_FALSE(plain.stages[0].flutter);
    for (const auto &n : sim::presetNames()) {
        const sim::Scenario p = sim::preset(n);
        EXPECT_EQ(p.response, sim::ResponseKind::Steady) << n;
        for (const auto &st : p.stages)
            EXPECT_TRUE((!st.stall || st.stall->plain()) && !st.flutter) << n;
    }
    const sim::Scenario s =
        sim::parseScenario(withReplaced("\"amplitude_mm\": 0.02}",
                                        "\"amplitude_mm\": 0.02, \"nodal_diameters\": -4, \"from_s\": 1, "
                                        "\"to_s\": 3, \"drift_hz_per_s\": 2, \"modulation_depth\": 0}, "
                                        "\"flutter\": {\"natural_hz\": 300, \"amplitude_mm\": 0.01, "
                                        "\"nodal_diameter\": -3, \"from_s\": 0.5, \"to_s\": 2}") +
                           "");
    const sim::StallSpec &st = *s.stages[0].stall;
    EXPECT_FALSE(st.plain());
    EXPECT_EQ(st.nodalDiameters, -4);
    EXPECT_DOUBLE_EQ(st.driftHzPerS, 2);
    EXPECT_DOUBLE_EQ(st.modulationDepth, 0);
    ASSERT_TRUE(s.stages[0].flutter);
    EXPECT_EQ(s.stages[0].flutter->nodalDiameter, -3);
    const sim::Scenario half = sim::scaledDuration(s, 0.5);
    EXPECT_DOUBLE_EQ(*half.stages[0].stall->fromS, 0.5);
    EXPECT_DOUBLE_EQ(*half.stages[0].stall->toS, 1.5);
    EXPECT_DOUBLE_EQ(half.stages[0].flutter->fromS, 0.25);
    EXPECT_DOUBLE_EQ(*half.stages[0].flutter->toS, 1);
    const sim::Scenario t =
        sim::parseScenario(withReplaced("\"seed\": 5", "\"seed\": 5, \"response\": \"transient\""));
    EXPECT_EQ(t.response, sim::ResponseKind::Transient);
    // The integrated response is for oscillating blades only.
    std::string heavy = withReplaced("\"seed\": 5", "\"seed\": 5, \"response\": \"transient\"");
    heavy.replace(heavy.find("\"damping\": 0.02"), std::string("\"damping\": 0.02").size(),
                  "\"damping\": 0.6");
    try {
        sim::parseScenario(heavy);
        ADD_FAILURE() << "accepted";
    } catch (const ValueError &e) {
        EXPECT_NE(std::string(e.what()).find("stages[0].resonances[0].damping"), std::string::npos)
            << e.what();
    }
}

TEST(SimulatorScenario, MalformedTextIsAFormatErrorAndUnknownPresetAValueError)
{
    EXPECT_THROW(sim::parseScenario("{\"name\": "), FormatError);
    EXPECT_THROW(sim::parseScenario("[1, 2]"), ValueError);
    EXPECT_THROW(sim::preset("sideways"), ValueError);
    for (const auto &n : sim::presetNames())
        EXPECT_NO_THROW(sim::preset(n)) << n;
}

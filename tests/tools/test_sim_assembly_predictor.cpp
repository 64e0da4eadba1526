#include "sim/assembly_predictor.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace sim = vibrolan::sim;

namespace {

struct Rec {
    std::uint8_t ch;
    std::int16_t blade;
};

} // namespace

// Two blades, a root probe and a tip probe one pitch later (the tip probe
// first sees the previous turn's last blade, so a deflection needs the tip
// pulse after the mark). The pass ends before the last revolution's tip
// pulse after the mark: the assembly rejects that revolution rather than
// taking whatever record its search stopped at, and so must the prediction.
TEST(SimulatorAssemblyPredictor, RevolutionMissingANeededPulseAtThePassEndIsRejected)
{
    sim::PredictorStage st;
    st.tachoChannel = 0;
    st.divisor = 1;
    st.startOrdinal = 1;
    st.blades = 2;
    st.diameterMm = 100;
    sim::PredictorPair pair;
    pair.rootChannel = 1;
    pair.tipChannel = 2;
    pair.skipBlade = 1;
    pair.numberBlade = {0, 1};
    st.pairs = {pair};
    std::vector<sim::TruthRow> rows;
    sim::AssemblyPredictor predictor({st}, 25e-9, 0, 1e9, [&](const sim::TruthRow &r) { rows.push_back(r); });
    // T R P R P | T R P R P | T R  (P: blade 1 of the previous turn, then blade 0)
    const std::vector<Rec> recs = {{0, 0}, {1, 0}, {2, 1}, {1, 1}, {2, 0}, {0, 0},
                                   {1, 0}, {2, 1}, {1, 1}, {2, 0}, {0, 0}, {1, 0}};
    for (std::size_t i = 0; i < recs.size(); ++i) {
        sim::Pulse p;
        p.channel = recs[i].ch;
        p.blade = recs[i].blade;
        p.stage = recs[i].ch == 0 ? -1 : 0;
        p.probe = recs[i].ch == 0 ? -1 : recs[i].ch - 1;
        p.exactTicks = p.recTicks = 1000.0 + 100.0 * static_cast<double>(i);
        vibrolan::TIndex rec;
        rec.WCh(p.channel);
        rec.Ticks = static_cast<std::uint32_t>(p.exactTicks);
        predictor.push(&p, &rec, 1);
    }
    predictor.finish();
    const sim::PairTally &t = predictor.tallies()[0][0];
    EXPECT_EQ(t.accepted, 1);
    EXPECT_EQ(t.rejected, 1);
    EXPECT_EQ(t.faulty, 0);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_FALSE(rows[0].fault);
    // The first revolution: tip minus root arrival, 100 ticks of a 500-tick
    // revolution for blade 0 (records 1 and 4: 300 ticks), 400 for blade 1.
    EXPECT_NEAR(rows[0].ampl[0], 100 * 3.14159265358979 * 300 / 500, 1e-9);
    EXPECT_NEAR(rows[0].ampl[1], 100 * 3.14159265358979 * 400 / 500, 1e-9);
}

// Revolution assembly with angle gates, and pulses that a deflection needs
// but that lie after the revolution's end.
//
// The fixture of most cases: three blades, each tip pulse about one pitch
// after its root pulse, so the tip probe sees the last blade of the previous
// turn first (SkipBlade 1) and the last blade of this turn only after the
// next mark.
#include "pulse_fixture.hpp"

#include "recording/angle_gates.hpp"
#include "run/assemble_stage.hpp"

#include <gtest/gtest.h>

#include <cstring>

using namespace vibrolan;
using namespace vibrolan::test;

namespace {

constexpr int kRevs = 8; // tacho pulses 0 ... 8: the start mark is pulse 1, seven revolutions follow

PulseRecording lateTipRecording()
{
    PulseRecording rec;
    rec.rootOffset = {600, 1800, 3000};
    rec.lag = {1180, 1210, 1240}; // tips at 1780, 3010 and 4240 = 640 of the next turn
    rec.build(kRevs);
    return rec;
}

struct Outcome {
    TCfgDfm cfg;
    RecordingMessageSink sink;
    const TPair &pair() const { return cfg.Stages[0].Pairs[0]; }
};

// Runs the pass over `records`; gates are used when given.
void assemble(Outcome &o, const std::vector<TIndex> &records, int skipBlade, TAngleGates *gates)
{
    setupConfig(o.cfg);
    o.cfg.Stages[0].Pairs[0].SkipBlade = static_cast<std::uint16_t>(skipBlade);
    o.cfg.UseGates = gates != nullptr;
    std::vector<std::uint8_t> bytes(records.size() * 6);
    for (std::size_t i = 0; i < records.size(); ++i)
        storeRecord(bytes.data() + 6 * i, records[i]);
    TPulsePass pass = makePass(bytes);
    pass.Gates = gates;
    PreparePairStorage(o.cfg.Stages[0]);
    assembleBothWays(o.cfg, pass, o.sink, NumberFormat{});
}

TAngleGate gate(std::uint8_t ch, double from, double to)
{
    TAngleGate g;
    g.Chan = ch;
    g.TachoChan = kTachoCh;
    g.demon = 1;
    g.lpillar = static_cast<float>(from);
    g.rpillar = static_cast<float>(to);
    return g;
}

// One include gate per blade pitch on the root and on the tip channel.
void addPitchGates(TAngleGates &gates, int blades)
{
    for (const std::uint8_t ch : {kRootCh, kTipCh})
        for (int k = 0; k < blades; ++k)
            gates.AddGt(gate(ch, static_cast<double>(k) / blades, static_cast<double>(k + 1) / blades));
}

float deflection(std::int64_t lagTicks, std::int64_t revTicks)
{
    return static_cast<float>(1000.0 * kPi * static_cast<double>(lagTicks) / static_cast<double>(revTicks));
}

} // namespace

// A tip pulse after the revolution's end that the search cannot take: the
// search runs to its limit and stops on a record that is not that pulse. The
// revolution must then be rejected, not accepted with that record's ticks as
// the blade's tip arrival.
TEST(AssembleGates, ATipPulseTheSearchCannotTakeRejectsTheRevolution)
{
    struct Case {
        const char *what;
        bool gates;
        bool endAfterLastMark;
        int accepted, rejected;
    };
    for (const Case c : {
             // The pulse at 4240 is folded back to 640 of the turn, where the gate
             // of the first pitch has taken the previous turn's last blade.
             Case{"include gate per pitch", true, false, 0, kRevs - 1},
             // The pass ends at the last mark, before the last blade's tip of the
             // last revolution.
             Case{"pass ends at the last mark", false, true, kRevs - 2, 1},
         }) {
        SCOPED_TRACE(c.what);
        const PulseRecording rec = lateTipRecording();
        auto records = rec.records();
        if (c.endAfterLastMark)
            while (records.back().Ch != kTachoCh)
                records.pop_back();
        TAngleGates gates;
        addPitchGates(gates, 3);
        Outcome o;
        assemble(o, records, 1, c.gates ? &gates : nullptr);
        const TPair &p = o.pair();
        EXPECT_EQ(p.Size, c.accepted);
        EXPECT_EQ(p.SizeOfBad, c.rejected);
        for (int i = 0; i < p.Size; ++i)
            for (int b = 0; b < 3; ++b)
                EXPECT_FLOAT_EQ(p.Ampl[b][i], deflection(rec.lag[b], rec.L))
                    << "revolution " << i << " blade " << b;
        EXPECT_EQ(o.sink.messages().size(), 1u);
        if (!o.sink.messages().empty()) {
            EXPECT_EQ(o.sink.messages()[0].caption, "Ступень Ст1 Pair П1");
        }
    }

    // The same recording without gates: every revolution is whole.
    Outcome plain;
    const PulseRecording rec = lateTipRecording();
    assemble(plain, rec.records(), 1, nullptr);
    EXPECT_EQ(plain.pair().Size, kRevs - 1);
    EXPECT_EQ(plain.pair().SizeOfBad, 0);
    EXPECT_FLOAT_EQ(plain.pair().Ampl[2][3], deflection(rec.lag[2], rec.L));
}

// Gates that pass every blade pulse, the ones after the revolution's end
// included, and keep stray pulses out, give exactly the revolutions of the
// same recording without the strays and without gates.
TEST(AssembleGates, WellPlacedGatesGiveTheRevolutionsOfTheCleanRecording)
{
    struct Case {
        const char *what;
        bool lateTip; // the fixture above (SkipBlade 1), else the plain one (tips 40 ... 120 after the roots)
        bool comdemon;
        int gatesPerBlade; // narrow include gates around each arrival, this many on top of each other
        bool strays;       // stray pulses between the gates
    };
    for (const Case c : {
             Case{"narrow gates, tips within the turn", false, true, 1, true},
             Case{"two gates per tip, the second takes the pulse after the end", true, true, 2, true},
             Case{"taken gates let pulses pass when only exclusion counts", true, false, 1, false},
         }) {
        SCOPED_TRACE(c.what);
        PulseRecording rec = c.lateTip ? lateTipRecording() : PulseRecording{};
        if (!c.lateTip)
            rec.build(kRevs);
        const int skip = c.lateTip ? 1 : 0;
        Outcome clean;
        assemble(clean, rec.records(), skip, nullptr);
        ASSERT_EQ(clean.pair().Size, kRevs - 1);

        TAngleGates gates;
        gates.setComdemon(c.comdemon);
        const double half = 1.0 / 12; // a quarter pitch either side of the arrival
        for (std::size_t b = 0; b < 3; ++b) {
            const double root = static_cast<double>(rec.rootOffset[b]) / rec.L;
            const double tip = static_cast<double>((rec.rootOffset[b] + rec.lag[b]) % rec.L) / rec.L;
            for (int k = 0; k < c.gatesPerBlade; ++k) {
                gates.AddGt(gate(kRootCh, root - half, root + half));
                gates.AddGt(gate(kTipCh, tip - half, tip + half));
            }
        }
        if (c.strays)
            for (int k = 0; k <= kRevs; ++k) {
                // Half a pitch away from every arrival of their channel.
                rec.add(k * rec.L + rec.rootOffset[0] + 600, kRootCh);
                rec.add(k * rec.L + (rec.rootOffset[1] + rec.lag[1] + 600) % rec.L, kTipCh);
            }
        Outcome gated;
        assemble(gated, rec.records(), skip, &gates);

        const TPair &a = clean.pair(), &g = gated.pair();
        ASSERT_EQ(g.Size, a.Size);
        EXPECT_EQ(g.SizeOfBad, a.SizeOfBad);
        const auto n = static_cast<std::size_t>(a.Size);
        EXPECT_EQ(std::memcmp(g.Freq.data(), a.Freq.data(), n * sizeof(float)), 0);
        EXPECT_EQ(std::memcmp(g.Time.data(), a.Time.data(), n * sizeof(float)), 0);
        for (std::size_t b = 0; b < 3; ++b) {
            EXPECT_EQ(std::memcmp(g.Ampl[b].data(), a.Ampl[b].data(), n * sizeof(float)), 0) << "blade " << b;
            EXPECT_FLOAT_EQ(g.Ampl[b][n - 1], deflection(rec.lag[b], rec.L)) << "blade " << b;
        }
        EXPECT_TRUE(gated.sink.messages().empty());
    }
}

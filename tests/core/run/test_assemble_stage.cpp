#include "pulse_fixture.hpp"

#include "run/assemble_stage.hpp"

#include <gtest/gtest.h>

#include <cmath>

using namespace vibrolan;
using namespace vibrolan::test;

namespace {

constexpr double kTau = 2.5e-8;

struct PassRun {
    TCfgDfm cfg;
    std::vector<std::uint8_t> bytes;
    TPulsePass pass;
    RecordingMessageSink sink;
    std::vector<std::int64_t> marks; // Position of every progress call

    void run(const PulseRecording &rec, int D = 1)
    {
        bytes = rec.bytes();
        pass = makePass(bytes, D);
        PreparePairStorage(cfg.Stages[0]);
        assembleBothWays(cfg, pass, sink, NumberFormat{',', {}, {}},
                         [&](std::int64_t total, std::int64_t pos, double, double, double) {
                             EXPECT_EQ(total, static_cast<std::int64_t>(pass.RecCount));
                             marks.push_back(pos);
                         });
    }
    const TPair &pair(int p = 0) const { return cfg.Stages[0].Pairs[p]; }
};

double expectedAmpl(double lagTicks, double revTicks) { return 1000.0 * kPi * lagTicks / revTicks; }

} // namespace

TEST(AssembleStage, OneTachoPulsePerRevolutionAcceptsEveryRevolutionFromTheStartMark)
{
    struct Case {
        double fromRev, toRev; // window in revolution lengths
        int size;
    };
    // Ten revolutions: the start mark is the second tacho pulse, so nine remain.
    for (const Case c : {Case{0, 100, 9}, Case{2.5, 6.5, 4}, Case{20, 30, 0}}) {
        PassRun r;
        setupConfig(r.cfg);
        PulseRecording rec;
        rec.build(10);
        r.cfg.Range = {c.fromRev * rec.L * kTau, c.toRev * rec.L * kTau};
        r.run(rec);
        EXPECT_EQ(r.pass.RevCount[0], 9u);
        EXPECT_EQ(r.marks.size(), 9u);
        const TPair &p = r.pair();
        ASSERT_EQ(p.Size, c.size) << c.fromRev;
        EXPECT_EQ(p.SizeOfBad, 0);
        const int first = c.fromRev < 1 ? 0 : static_cast<int>(std::ceil(c.fromRev));
        for (int i = 0; i < p.Size; ++i) {
            EXPECT_NEAR(p.Time[i], (first + i) * rec.L * kTau, 1e-9);
            EXPECT_FLOAT_EQ(p.Freq[i], static_cast<float>(60.0 / kTau / rec.L));
            for (int b = 0; b < 3; ++b)
                EXPECT_FLOAT_EQ(p.Ampl[b][i], static_cast<float>(expectedAmpl(rec.lag[b], rec.L)));
        }
        // Revolutions outside the window are neither accepted nor rejected.
        if (c.size == 0)
            ASSERT_EQ(r.sink.messages().size(), 1u);
        else
            EXPECT_TRUE(r.sink.messages().empty());
    }
}

TEST(AssembleStage, DivisorTwoStartsAtTheSecondCandidateCountedFromTheEnd)
{
    PassRun r;
    setupConfig(r.cfg, 2);
    PulseRecording rec;
    rec.tachoPerRev = 2; // A at the revolution start, B in the middle; the stream ends with an A
    rec.build(8);
    r.run(rec, 2);
    // Candidates are the B pulses; the start is B1, the first mark after it A2
    // (a half revolution, rejected), then every second pulse: A3 ... A8.
    EXPECT_EQ(r.pass.RevCount[0], 7u);
    const TPair &p = r.pair();
    EXPECT_EQ(p.Size, 6);
    EXPECT_EQ(p.SizeOfBad, 1);
    EXPECT_NEAR(p.Time[0], 0.5 * rec.L * kTau, 1e-9); // from B1 to A2
    EXPECT_FLOAT_EQ(p.Ampl[2][5], static_cast<float>(expectedAmpl(rec.lag[2], rec.L)));
    ASSERT_EQ(r.sink.messages().size(), 1u);
    EXPECT_EQ(r.sink.messages()[0].text, "Отбраковано 14,29%");
}

TEST(AssembleStage, FlaggedTachoRecordCountsBackwardsButIsNoMarkForwards)
{
    PassRun r;
    setupConfig(r.cfg);
    PulseRecording rec;
    rec.build(8);
    rec.add(1000, kTachoCh | 0x40);             // inside revolution 0: becomes the start mark
    rec.add(4 * rec.L + 2000, kTachoCh | 0x80); // inside revolution 4: must not split it
    r.run(rec);
    // Start at the flagged pulse; the marks are the eight plain pulses after it.
    EXPECT_EQ(r.pass.RevCount[0], 8u);
    EXPECT_EQ(r.pair().Size, 7);
    EXPECT_EQ(r.pair().SizeOfBad, 1);
}

TEST(AssembleStage, CounterWrapBetweenMarksKeepsSpeedTimeAndDeflection)
{
    PassRun r;
    setupConfig(r.cfg);
    PulseRecording rec;
    rec.startTicks = 0xFFFFFFFFu - 4 * 3600 - 2000; // wraps inside revolution 4, between blades
    rec.build(9);
    r.run(rec);
    const TPair &p = r.pair();
    ASSERT_EQ(p.Size, 8);
    for (int i = 0; i < p.Size; ++i) {
        EXPECT_NEAR(p.Time[i], i * rec.L * kTau, 1e-9) << i;
        EXPECT_FLOAT_EQ(p.Freq[i], static_cast<float>(60.0 / kTau / rec.L));
        for (int b = 0; b < 3; ++b)
            EXPECT_FLOAT_EQ(p.Ampl[b][i], static_cast<float>(expectedAmpl(rec.lag[b], rec.L))) << i;
    }
}

TEST(AssembleStage, NegativeTachoShiftMovesTheWindowBackByRevOver36)
{
    PassRun r;
    setupConfig(r.cfg);
    r.cfg.Stages[0].Pairs[0].TachoShift = -10; // Round(3600 / 36) = 100 ticks
    PulseRecording rec;
    // The last blade passes 80 ticks before the next mark (tip 60 before); an
    // unrelated pulse 150 ticks before every mark is where each window end stops.
    rec.rootOffset = {1150, 2350, 3520};
    rec.lag = {40, 60, 20};
    rec.build(6);
    for (int k = 1; k <= 7; ++k)
        rec.add(k * rec.L - 150, 5);
    r.run(rec);
    const TPair &p = r.pair();
    ASSERT_EQ(p.Size, 5);
    EXPECT_EQ(p.SizeOfBad, 0);
    // The window starts 150 ticks before the mark, so the blade at 3520 of
    // the revolution before is pulse position 0.
    for (int i = 0; i < p.Size; ++i) {
        EXPECT_FLOAT_EQ(p.Ampl[0][i], static_cast<float>(expectedAmpl(rec.lag[2], rec.L)));
        EXPECT_FLOAT_EQ(p.Ampl[1][i], static_cast<float>(expectedAmpl(rec.lag[0], rec.L)));
        EXPECT_FLOAT_EQ(p.Ampl[2][i], static_cast<float>(expectedAmpl(rec.lag[1], rec.L)));
    }

    // Without the shift the same recording gives the blades in revolution order.
    PassRun plain;
    setupConfig(plain.cfg);
    plain.run(rec);
    ASSERT_EQ(plain.pair().Size, 5);
    EXPECT_FLOAT_EQ(plain.pair().Ampl[0][0], static_cast<float>(expectedAmpl(rec.lag[0], rec.L)));
}

TEST(AssembleStage, TachoRootSensorGetsSyntheticRootTicks)
{
    PassRun r;
    setupConfig(r.cfg);
    r.cfg.Stages[0].Pairs[0].Root = 0; // the tacho sensor
    PulseRecording rec;
    rec.build(5);
    r.run(rec);
    const TPair &p = r.pair();
    ASSERT_EQ(p.Size, 4);
    // Synthetic roots at 600, 1800, 3000 ticks after the mark (Pitch 1200).
    for (int b = 0; b < 3; ++b) {
        const double tip = rec.rootOffset[b] + rec.lag[b];
        EXPECT_FLOAT_EQ(p.Ampl[b][0], static_cast<float>(expectedAmpl(tip - (600 + 1200 * b), rec.L))) << b;
    }
}

TEST(AssembleStage, GatesThatExcludeEveryTipPulseRejectEveryRevolution)
{
    PassRun r;
    setupConfig(r.cfg);
    r.cfg.UseGates = true;
    TAngleGates gates;
    TAngleGate g;
    g.Chan = kTipCh;
    g.TachoChan = kTachoCh;
    g.demon = 0; // exclude
    g.lpillar = -10;
    g.rpillar = 10;
    gates.AddGt(g);
    PulseRecording rec;
    rec.build(6);
    const auto bytes = rec.bytes();
    r.pass = makePass(bytes);
    r.pass.Gates = &gates;
    PreparePairStorage(r.cfg.Stages[0]);
    assembleBothWays(r.cfg, r.pass, r.sink, NumberFormat{});
    EXPECT_EQ(r.pair().Size, 0);
    EXPECT_EQ(r.pair().SizeOfBad, 5);
    ASSERT_EQ(r.sink.messages().size(), 1u);
    EXPECT_EQ(r.sink.messages()[0].caption, "Ступень Ст1 Pair П1");
    EXPECT_EQ(r.sink.messages()[0].text, "Отбраковано 100.00%");

    // Without UseGates the same gates filter nothing.
    r.cfg.UseGates = false;
    r.sink.clear();
    PreparePairStorage(r.cfg.Stages[0]);
    r.cfg.Stages[0].Pairs[0].SizeOfBad = 0;
    assembleBothWays(r.cfg, r.pass, r.sink, NumberFormat{});
    EXPECT_EQ(r.pair().Size, 5);
    EXPECT_TRUE(r.sink.messages().empty());
}

TEST(AssembleStage, MissingAndExtraPulsesRejectOnlyThatPairsRevolution)
{
    PassRun r;
    setupConfig(r.cfg);
    // A second pair that uses the root sensor as tip: unaffected by tip faults.
    TPair &q = r.cfg.Stages[0].Pairs[1];
    q = r.cfg.Stages[0].Pairs[0];
    q.NamePair = "П2";
    q.Peak = 1;
    r.cfg.Stages[0].CountPairs = 2;
    PulseRecording rec;
    rec.build(8);
    rec.add(3 * rec.L + 900, kTipCh); // extra tip pulse in revolution 3
    auto &ev = rec.events;            // drop the tip of blade 1 in revolution 5
    ev.erase(std::find_if(ev.begin(), ev.end(), [&](const Event &e) {
        return e.ch == kTipCh && e.t == 5 * rec.L + rec.rootOffset[1] + rec.lag[1];
    }));
    r.run(rec);
    EXPECT_EQ(r.pair(0).Size, 5);
    EXPECT_EQ(r.pair(0).SizeOfBad, 2);
    EXPECT_EQ(r.pair(1).Size, 7);
    EXPECT_EQ(r.pair(1).SizeOfBad, 0);
    ASSERT_EQ(r.sink.messages().size(), 1u);
    EXPECT_EQ(r.sink.messages()[0].text, "Отбраковано 28,57%");
}

TEST(AssembleStage, TooFewMarksGiveNoRevolutionsAndAFullRejection)
{
    PassRun r;
    setupConfig(r.cfg);
    PulseRecording rec;
    rec.build(0); // one tacho pulse only
    r.run(rec);
    EXPECT_EQ(r.pass.RevCount[0], 0u);
    EXPECT_EQ(r.pair().Size, 0);
    ASSERT_EQ(r.sink.messages().size(), 1u);
    EXPECT_EQ(r.sink.messages()[0].text, "Отбраковано 100,00%");
}

TEST(AssembleStage, SeriesGrowInStepsOf1024)
{
    PassRun r;
    setupConfig(r.cfg);
    PulseRecording rec;
    rec.build(1030);
    r.run(rec);
    const TPair &p = r.pair();
    ASSERT_EQ(p.Size, 1029);
    EXPECT_EQ(p.Freq.size(), 2048u);
    EXPECT_EQ(p.Time.size(), 2048u);
    EXPECT_EQ(p.Ampl[2].size(), 2048u);
    EXPECT_FLOAT_EQ(p.Ampl[2][1028], static_cast<float>(expectedAmpl(rec.lag[2], rec.L)));
}

TEST(AssembleStage, SearchesStopAtTheEndOfThePass)
{
    // The pass ends right after the last mark: the closing pulses of the
    // last revolution lie beyond it and must not be read.
    PassRun r;
    setupConfig(r.cfg);
    PulseRecording rec;
    rec.build(4);
    auto recs = rec.records();
    while (recs.back().Ch != kTachoCh)
        recs.pop_back();
    std::vector<std::uint8_t> bytes(recs.size() * 6);
    for (std::size_t i = 0; i < recs.size(); ++i)
        storeRecord(bytes.data() + 6 * i, recs[i]);
    r.pass = makePass(bytes);
    PreparePairStorage(r.cfg.Stages[0]);
    assembleBothWays(r.cfg, r.pass, r.sink, NumberFormat{});
    EXPECT_EQ(r.pair().Size, 3);
}

TEST(AssembleStage, RefusesPairsBeyondThePulseBuffers)
{
    TCfgDfm cfg;
    setupConfig(cfg);
    cfg.Stages[0].Pairs[0].SkipBlade = 507; // 507 + 3 + 1 > 510
    TPulsePass pass;
    NullMessageSink sink;
    EXPECT_THROW(AssembleStage(cfg, 0, pass, sink, NumberFormat{}), ValueError);
    cfg.Stages[0].Pairs[0].SkipBlade = 0;
    cfg.Stages[0].Pairs[0].Peak = 400;
    EXPECT_THROW(CheckAssemblyInputs(cfg, 0), ValueError);
}

TEST(RejectionReport, RateTextAndThreshold)
{
    struct Case {
        int size, bad;
        char sep;
        bool show;
        const char *text;
    };
    for (const Case c :
         {Case{997, 3, ',', true, "Отбраковано 0,30%"}, Case{997, 3, '.', true, "Отбраковано 0.30%"},
          Case{0, 0, '.', true, "Отбраковано 100.00%"}, Case{1000, 0, '.', false, "Отбраковано 0.00%"},
          Case{49999, 1, '.', true, "Отбраковано 0.00%"}, Case{999999, 1, '.', false, "Отбраковано 0.00%"}}) {
        TStage st;
        st.NameStage = "A";
        TPair p;
        p.NamePair = "B";
        p.Size = c.size;
        p.SizeOfBad = c.bad;
        NumberFormat fmt;
        fmt.decimalSeparator = c.sep;
        const RejectionReport r = MakeRejectionReport(st, p, fmt);
        EXPECT_EQ(r.show, c.show) << c.size;
        EXPECT_EQ(r.text, c.text);
        EXPECT_EQ(r.caption, "Ступень A Pair B");
    }
}

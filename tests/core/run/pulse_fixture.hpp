// Small hand-made recordings for the revolution assembly: a tacho channel,
// a root and a tip channel, three blades at equal pitch with a fixed tip
// lag per blade, written as pulse records in time order.
#pragma once

#include "base/message_sink.hpp"
#include "base/number_format.hpp"
#include "config/cfg_dfm.hpp"
#include "recording/tindex.hpp"
#include "run/assemble_stage.hpp"
#include "run/pulse_pass.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vibrolan::test {

inline constexpr std::uint8_t kTachoCh = 0, kRootCh = 1, kTipCh = 2;

struct Event {
    std::int64_t t; // unwrapped ticks
    std::uint8_t ch;
};

class PulseRecording {
public:
    std::int64_t L = 3600;                                    // ticks per revolution
    std::vector<std::int64_t> rootOffset = {300, 1500, 2700}; // blade arrivals after the tacho pulse
    std::vector<std::int64_t> lag = {40, 80, 120};            // tip after root, per blade
    int tachoPerRev = 1;                                      // tacho pulses per revolution (equally spaced)
    std::uint32_t startTicks = 1000;

    // Revolutions 0 ... revs - 1 of blades and revs + 1 tacho pulses (the last closes revolution revs - 1).
    void build(int revs)
    {
        for (int k = 0; k < revs; ++k) {
            for (int q = 0; q < tachoPerRev; ++q)
                events.push_back({k * L + q * L / tachoPerRev, kTachoCh});
            for (std::size_t b = 0; b < rootOffset.size(); ++b) {
                events.push_back({k * L + rootOffset[b], kRootCh});
                events.push_back({k * L + rootOffset[b] + lag[b], kTipCh});
            }
        }
        events.push_back({revs * L, kTachoCh});
        // A few blade pulses of the next revolution so the searches find their closing pulse.
        for (std::size_t b = 0; b < rootOffset.size(); ++b) {
            events.push_back({revs * L + rootOffset[b], kRootCh});
            events.push_back({revs * L + rootOffset[b] + lag[b], kTipCh});
        }
    }
    void add(std::int64_t t, std::uint8_t chByte) { events.push_back({t, chByte}); }

    std::vector<TIndex> records() const
    {
        std::vector<Event> e = events;
        std::stable_sort(e.begin(), e.end(), [](const Event &a, const Event &b) { return a.t < b.t; });
        std::vector<TIndex> out;
        for (const Event &ev : e) {
            TIndex r;
            r.Ch = ev.ch;
            r.Ticks = static_cast<std::uint32_t>((startTicks + ev.t) & 0xFFFFFFFF);
            out.push_back(r);
        }
        return out;
    }
    std::vector<std::uint8_t> bytes() const
    {
        const auto r = records();
        std::vector<std::uint8_t> b(r.size() * 6);
        for (std::size_t i = 0; i < r.size(); ++i)
            storeRecord(b.data() + 6 * i, r[i]);
        return b;
    }

    std::vector<Event> events;
};

// Sensors: 0 tacho (channel 0), 1 root (channel 1), 2 tip (channel 2); one
// stage of three blades on 1000 mm with one checked pair, tacho divisor D.
inline void setupConfig(TCfgDfm &cfg, int D = 1)
{
    cfg.CountSensors = 3;
    const std::uint8_t chans[] = {kTachoCh, kRootCh, kTipCh};
    const TTypeSensor types[] = {TTypeSensor::srTaho, TTypeSensor::srRoot, TTypeSensor::srPeak};
    for (int i = 0; i < 3; ++i) {
        cfg.Sensors[i].NameSensor = "S" + std::to_string(i + 1);
        cfg.Sensors[i].Chan = chans[i];
        cfg.Sensors[i].TypeSensor = types[i];
    }
    cfg.CountStage = 1;
    TStage &st = cfg.Stages[0];
    st.NameStage = "Ст1";
    st.CountBlade = 3;
    st.Diametr = 1000;
    st.CountPairs = 1;
    st.TachoComb.divisor = static_cast<std::uint8_t>(D - 1);
    st.TachoComb.sensNumber = 0;
    TPair &p = st.Pairs[0];
    p.NamePair = "П1";
    p.Root = 1;
    p.Peak = 2;
    p.Checked = true;
    for (int b = 0; b < 3; ++b)
        p.NumberBlade[b] = static_cast<std::uint16_t>(b);
    p.RebuildImpuls(3);
    cfg.Range = {0, 10000};
}

inline TPulsePass makePass(const std::vector<std::uint8_t> &bytes, int D = 1)
{
    TPulsePass pass;
    pass.RecImage = bytes;
    pass.FirstRec = 0;
    pass.RecCount = bytes.size() / 6;
    pass.TachoDivisor = D;
    return pass;
}

// AssembleStage on stage 0, and the multi-stage pass (AssembleStages) on a
// copy of the same configuration and pass: both must give the same series,
// counts and reports (a detector keeps state, so its runs take the plain pass only).
inline void assembleBothWays(TCfgDfm &cfg, TPulsePass &pass, MessageSink &sink, const NumberFormat &fmt,
                             const TPassProgress &progress = {})
{
    if (pass.Detector == nullptr) {
        TCfgDfm fast = cfg;
        fast.CountStage = 1;
        TPulsePass fastPass = pass;
        std::vector<std::int64_t> fastMarks, marks;
        const TStageTacho tacho{pass.TachoDivisor, nullptr};
        AssembleStages(
            fast, fastPass, std::span<const TStageTacho>(&tacho, 1),
            [&](std::int64_t, std::int64_t pos, double, double, double) { fastMarks.push_back(pos); });
        RecordingMessageSink fastSink;
        ShowRejections(fast.Stages[0], fastSink, fmt);
        RecordingMessageSink plainSink;
        TCfgDfm plain = cfg;
        TPulsePass plainPass = pass;
        AssembleStage(plain, 0, plainPass, plainSink, fmt,
                      [&](std::int64_t, std::int64_t pos, double, double, double) { marks.push_back(pos); });
        EXPECT_EQ(fastPass.RevCount[0], plainPass.RevCount[0]);
        EXPECT_EQ(fastMarks, marks);
        ASSERT_EQ(fastSink.messages().size(), plainSink.messages().size());
        for (std::size_t i = 0; i < plainSink.messages().size(); ++i)
            EXPECT_EQ(fastSink.messages()[i].text, plainSink.messages()[i].text);
        for (std::size_t p = 0; p < cfg.Stages[0].CountPairs; ++p) {
            const TPair &a = fast.Stages[0].Pairs[p], &b = plain.Stages[0].Pairs[p];
            EXPECT_EQ(a.Size, b.Size) << "pair " << p;
            EXPECT_EQ(a.SizeOfBad, b.SizeOfBad) << "pair " << p;
            EXPECT_EQ(a.Freq, b.Freq) << "pair " << p;
            EXPECT_EQ(a.Time, b.Time) << "pair " << p;
            for (std::size_t k = 0; k < cfg.Stages[0].CountBlade; ++k)
                EXPECT_EQ(a.Ampl[k], b.Ampl[k]) << "pair " << p << " blade " << k;
        }
    }
    AssembleStage(cfg, 0, pass, sink, fmt, progress);
}

} // namespace vibrolan::test

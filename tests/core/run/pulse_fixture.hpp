// Small hand-made recordings for the revolution assembly: a tacho channel,
// a root and a tip channel, three blades at equal pitch with a fixed tip
// lag per blade, written as pulse records in time order.
#pragma once

#include "config/cfg_dfm.hpp"
#include "recording/tindex.hpp"
#include "run/pulse_pass.hpp"

#include <algorithm>
#include <cstdint>
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

} // namespace vibrolan::test

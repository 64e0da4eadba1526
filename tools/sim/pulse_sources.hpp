// Endless time-ordered pulse streams, one per sensor (and one of spurious
// pulses per blade probe), merged into the recording's single stream.
// Times are in ticks of the recorder's counter since the start (t = 0).
#pragma once

#include "sim/blade_motion.hpp"
#include "sim/geometry.hpp"
#include "sim/rng.hpp"
#include "sim/scenario.hpp"
#include "sim/shaft.hpp"

#include <cstdint>
#include <memory>
#include <vector>

namespace vibrolan::sim {

struct Pulse {
    double recTicks = 0;      // as recorded (timing noise included)
    double exactTicks = 0;    // the physical instant
    std::uint8_t channel = 0; // zero-based (the record's RCh)
    std::int16_t stage = -1;  // -1 for the tacho and the time code
    std::int16_t probe = -1;
    std::int32_t blade = -1; // blade number, the tacho phase, -1 for a spurious pulse
    std::int64_t pass = 0;   // shaft revolution of the pass
    bool extra = false;      // injected spurious pulse
};

class PulseSource {
public:
    virtual ~PulseSource() = default;
    virtual Pulse next() = 0; // never runs dry; recTicks never decreases
    // The next `n` pulses, as n calls of next() would give them.
    virtual void fill(Pulse *out, std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i)
            out[i] = next();
    }
};

// D pulses per revolution at angles k / D; phase 0 is the revolution mark.
std::unique_ptr<PulseSource> makeTachoSource(const Shaft &shaft, double tickPeriod, int divisor,
                                             int channel0);

// Blade passes at one probe of a stage, with missing pulses and timing noise.
std::unique_ptr<PulseSource> makeProbeSource(const Shaft &shaft, double tickPeriod, const StageSpec &stage,
                                             const StageGeometry &geo, const BladeMotion &motion,
                                             int stageIndex, int probe, const FaultSpec &faults,
                                             std::uint64_t seed);

// Spurious pulses on a probe's channel at random instants (rate per second).
std::unique_ptr<PulseSource> makeExtraSource(double tickPeriod, double perSecond, int channel0,
                                             int stageIndex, int probe, std::uint64_t seed);

// SEV or IRIG-B time code for the time of day starting at `startSecondOfDay`.
std::unique_ptr<PulseSource> makeTimeCodeSource(const Scenario &s, double tickPeriod);

// Merges sources by recorded time; ties go to the source added first.
// Pulses are drawn from each source in small batches, and the heap holds
// only each source's next time, so a record costs no virtual call and a
// few comparisons of small entries.
class PulseMerger {
public:
    void add(std::unique_ptr<PulseSource> source);
    Pulse next()
    {
        Lane &lane = lanes_[heap_.front().source];
        const Pulse out = lane.pulses[lane.at];
        if (++lane.at == kBatch)
            refill(lane);
        heap_.front().time = lane.pulses[lane.at].recTicks;
        siftDown();
        return out;
    }

private:
    static constexpr std::size_t kBatch = 64;
    struct Lane {
        std::unique_ptr<PulseSource> source;
        std::vector<Pulse> pulses; // kBatch pulses, the next one at `at`
        std::size_t at = 0;
    };
    struct Head {
        double time;
        std::uint32_t source;
    };
    static bool later(const Head &a, const Head &b)
    {
        return a.time != b.time ? a.time > b.time : a.source > b.source;
    }
    static void refill(Lane &lane);
    void siftDown();
    std::vector<Lane> lanes_;
    std::vector<Head> heap_;
};

} // namespace vibrolan::sim

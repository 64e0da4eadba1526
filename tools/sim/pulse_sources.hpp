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
class PulseMerger {
public:
    void add(std::unique_ptr<PulseSource> source);
    Pulse next();

private:
    void siftDown(std::size_t i);
    std::vector<std::unique_ptr<PulseSource>> sources_;
    std::vector<std::pair<Pulse, std::size_t>> heap_;
};

} // namespace vibrolan::sim

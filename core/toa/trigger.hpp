// Pulse triggering on one channel: a threshold crossing with hysteresis,
// found to a fraction of a sample, or a constant-fraction time on the
// leading edge of each pulse that the threshold detects.
//
// The channel is given as y = sign * x, so a falling edge is a rising one of
// -x and the trigger itself only knows rising edges. Times are in samples
// from the first sample of the signal (sample k is at time k).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vibrolan::toa {

enum class Interpolation {
    Linear, // between the two samples around the crossing
    Cubic,  // the cubic through the four samples around it (precise on curved edges)
};

struct TriggerLevels {
    double level = 0;               // the crossing level (in y)
    double rearm = 0;               // y must fall below this before the next pulse (level - hysteresis)
    double baseline = 0;            // the level between pulses, for the constant fraction
    std::optional<double> fraction; // constant-fraction time at baseline + f (peak - baseline)
    Interpolation interpolation = Interpolation::Linear;
    std::int64_t minSpacing = 0; // samples from one pulse to the earliest next one
    std::int64_t maxWidth = 256; // samples searched for a pulse's peak (and back for its edge)
};

struct Arrival {
    double time = 0; // samples since the signal's first sample
    float peak = 0;  // the pulse's highest y
};

// Samples of history and look-ahead a trigger needs around the samples it settles.
inline std::int64_t triggerMargin(const TriggerLevels &t) { return t.maxWidth + 4; }

// One channel's samples as a sliding window over the stream: the block
// just read behind the history kept from the blocks before.
class SampleWindow {
public:
    explicit SampleWindow(std::int64_t keep) : keep_(keep) {}
    // Drops what lies more than `keep` samples before `settledUpTo` and
    // makes room for `n` samples after the end; returns where they go.
    float *extend(std::int64_t settledUpTo, std::size_t n);
    // extend() and a copy of `block` into the room.
    void advance(std::int64_t settledUpTo, std::span<const float> block);
    std::int64_t begin() const { return begin_; } // global index of data()[0]
    std::int64_t end() const { return begin_ + static_cast<std::int64_t>(used_); }
    float at(std::int64_t i) const { return data_[static_cast<std::size_t>(i - begin_)]; }
    const float *data() const { return data_.data(); }

private:
    std::int64_t keep_;
    std::int64_t begin_ = 0;
    std::vector<float> data_; // storage; the first used_ hold samples
    std::size_t used_ = 0;
};

class ChannelTrigger {
public:
    explicit ChannelTrigger(const TriggerLevels &levels) : t_(levels) {}
    // Finds the pulses whose detection lies in [from, to) of the window and
    // appends them to `out` in time order. The window must hold
    // triggerMargin() samples before `from` (or the signal's start) and after
    // `to` (or the signal's end). Successive calls continue where the last ended.
    void process(const SampleWindow &w, std::int64_t to, std::vector<Arrival> &out);
    // Pulses detected whose edge could not be timed (constant fraction
    // level not crossed within maxWidth): counted, not recorded.
    std::uint64_t untimed() const { return untimed_; }

private:
    double crossing(const SampleWindow &w, std::int64_t i, double level) const;
    std::optional<double> constantFraction(const SampleWindow &w, std::int64_t peakAt, float peak) const;

    TriggerLevels t_;
    std::int64_t next_ = 0;      // first sample not yet looked at
    bool armed_ = false;         // y fell below the re-arm level since the last pulse
    std::int64_t deadUntil_ = 0; // no re-arming before this sample
    std::uint64_t untimed_ = 0;
};

// Time (in samples) where the samples around i-1 .. i cross `level`
// upwards, y[i-1] < level <= y[i]; `y` at offsets -2 .. +1 from i-1 (cubic)
// or 0 .. 1 (linear). Exposed for tests.
double crossingLinear(float y0, float y1, double level);
double crossingCubic(float ym1, float y0, float y1, float y2, double level);

} // namespace vibrolan::toa

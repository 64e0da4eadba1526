// Sampled probe signals to a pulse recording: every channel is triggered
// (threshold with hysteresis or constant fraction, sub-sample times), the
// pulse times become counter ticks of the chosen recorder clock, and the
// recording (.bld) and a starter configuration (.lfm: one stage, the tacho,
// the pairs asked for) are written. Streams the signals block by block
// (two passes when a level is given relative to the channel's range); the
// channels are triggered in parallel and the result is the same for any
// number of threads. Nothing is written unless the whole conversion succeeds.
#pragma once

#include "base/progress.hpp"
#include "config/cfg_ordinals.hpp"
#include "toa/signal_source.hpp"
#include "toa/trigger.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vibrolan::toa {

enum class Edge { Rising, Falling };

// A level in volts or in percent of the channel's range (from a first pass).
struct Level {
    double value = 0;
    bool percent = false;
};
// Parses "0.25" (volts) or "40%"; throws ValueError. Locale-independent.
Level parseLevel(std::string_view text);

// How one signal channel is triggered.
struct ChannelRule {
    std::optional<Edge> edge;
    std::vector<Level> thresholds; // each becomes a recording channel
    std::optional<Level> hysteresis;
    std::optional<double> fraction; // constant fraction of the pulse height
    std::optional<TTypeSensor> sensor;
};

struct ToaOptions {
    std::vector<std::filesystem::path> inputs;
    OpenOptions open;
    std::filesystem::path out;                // the recording
    std::optional<std::filesystem::path> lfm; // default: beside `out`, same stem
    bool writeLfm = true;
    int recorderCode = 1200;      // 1200: 25 ns ticks, 1280: 12.5 ns
    std::uint32_t startTicks = 0; // the counter's value at the first sample
    std::optional<double>
        recordDate;                 // days from 1899-12-30; default the first file's modification time (UTC)
    std::vector<std::string> names; // renames the signal channels in order
    std::string tacho;              // channel name or 1-based number; default the first channel

    // Defaults of every channel; `rules` (keyed by channel name) override them.
    Edge edge = Edge::Rising;
    std::vector<Level> thresholds;   // default 50 % (20 % with a constant fraction)
    std::optional<Level> hysteresis; // default 10 % of the range
    std::optional<double> fraction;
    std::map<std::string, ChannelRule> rules;
    Interpolation interpolation = Interpolation::Linear;
    double minSpacingS = 0;  // no pulse closer than this to the previous one of its channel
    double maxWidthS = 1e-3; // longest pulse searched for its peak

    // Starter configuration.
    std::vector<std::pair<std::string, std::string>> pairs; // (root, tip) channel names
    int blades = 0;                                         // 0: estimated from the pulses per revolution
    double diameterMm = 1000;
    std::string stageName = "S1";

    unsigned threads = 0; // 0: as many as the machine has
    std::size_t blockFrames = 1u << 15;
    ProgressFn progress; // samples per channel done, in all passes
    // Sees every pulse in the order written: recording channel (0-based) and
    // time in seconds from the first sample, before rounding to ticks.
    std::function<void(int channel, double seconds)> onPulse;
};

struct ChannelSummary {
    std::string name;   // recording channel name
    std::string signal; // the signal channel it comes from
    int channel = 0;    // recording channel number (1-based)
    TTypeSensor sensor = TTypeSensor::srPeak;
    double level = 0; // volts
    bool fraction = false;
    std::uint64_t pulses = 0, untimed = 0;
    double signalMin = 0, signalMax = 0; // volts
    double peakMin = 0, peakMax = 0;     // volts, of the pulses found
    std::uint64_t gaps = 0;              // intervals over 1.8 times the usual one
    double widestGapS = 0, widestGapAtS = 0;
};

struct ToaResult {
    std::filesystem::path bld, lfm;
    double rate = 0, seconds = 0;
    std::uint64_t frames = 0, records = 0;
    int blades = 0;
    std::vector<ChannelSummary> channels;
};

// Throws ValueError for bad options, FileError/FormatError for unreadable
// input (a non-finite sample, a silent channel, a channel without a single
// pulse included) and for outputs that cannot be written.
ToaResult convertSignals(const ToaOptions &options);

// A readable summary, one line per recording channel.
std::string formatSummary(const ToaResult &result);

} // namespace vibrolan::toa

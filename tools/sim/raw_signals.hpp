// Sampled probe signals of a scenario, as a digitiser would record them:
// every blade passing a probe gives a pulse at its true arrival (from the
// simulator's blade motion and arrival solver), the tacho a pulse per mark,
// with Gaussian noise of a chosen signal-to-noise ratio. Written as raw
// interleaved samples with a JSON sidecar, plus the true arrival times.
//
// Pulse shapes (u = (t - arrival) / width):
//   eddy current: A u exp((1 - u^2) / 2), bipolar, rising through zero at the
//                 arrival with slope A sqrt(e) / width, lobes of height A at u = -1, +1;
//   optical:      A exp(-u^2 / 2), a single lobe centred on the arrival.
// The width is the probe's spot (mm of tip travel) over the tip speed, so it
// shrinks as the shaft speeds up; the tacho mark spans a fixed angle and is
// always bipolar. The height falls with speed: A = A0 h / (h + rpm).
#pragma once

#include "base/progress.hpp"
#include "sim/scenario.hpp"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vibrolan::sim {

enum class ProbeShape { EddyCurrent, Optical };
enum class RawFormat { Float32, Int16 };

struct RawSignalOptions {
    std::filesystem::path outDir;
    std::string name;           // file stem; the scenario's name when empty
    double sampleRate = 5e6;    // samples per second
    double snrDb = 60;          // 20 log10(A0 / noise RMS)
    double amplitudeV = 1.0;    // A0, the height at standstill
    double halfHeightRpm = 0;   // h: the height halves at this speed (0: constant height)
    double probeWidthMm = 1.5;  // spot size as tip travel
    double tachoWidthDeg = 1.0; // width of the tacho mark
    ProbeShape shape = ProbeShape::EddyCurrent;
    RawFormat format = RawFormat::Float32;
    std::uint64_t noiseSeed = 1;
    ProgressFn progress; // samples per channel written, of the total
};

struct RawSignalResult {
    std::filesystem::path sidecar, data, arrivals;
    std::uint64_t frames = 0;
    std::vector<std::string> names; // the channels, in order of their recorder channel numbers
    std::vector<int> channels;      // those numbers (1-based)
    double noiseRms = 0;            // volts
};

// The tacho (divisor mode only) and every blade probe, ordered by channel.
// The scenario's missing pulses and spurious ones are left out: the signals
// show every physical pass. Throws ValueError for a scenario in signature
// tacho mode or bad options, FileError when an output cannot be written.
RawSignalResult writeRawSignals(const Scenario &scenario, const RawSignalOptions &options);

} // namespace vibrolan::sim

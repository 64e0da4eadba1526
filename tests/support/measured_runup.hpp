// The measured run-up and run-down of a five-blade test rotor
// (tests/data/measured): its revolutions read, and turned into the pulse
// records of a recording (shaft marks from the speeds, probe pulses from the
// arrival angles) for the tests that analyse it.
#pragma once

#include "recording/tindex.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

namespace vibrolan::test::measured {

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kProbeRadiusMm = 162;
constexpr int kBlades = 5;
constexpr int kProbes = 3;
constexpr std::uint16_t kRecorderCode = 1200;
constexpr double kTick = 25e-9; // the counter period of recorder 1200
// The counter starts 7.4 s before it wraps; the run lasts 190 s, the counter 107 s.
constexpr std::uint32_t kStartTicks = 4000000000u;

// One measured revolution: blade 1's arrival angle at each probe (radians
// after the revolution's shaft mark) and the shaft speed.
struct Revolution {
    std::array<double, kProbes> angle{};
    double rpm = 0;
    double ticks() const { return 60 / rpm / kTick; } // the revolution's length
};

inline std::vector<Revolution> readMeasurement(const char *dataDir)
{
    const std::filesystem::path file =
        std::filesystem::path(dataDir) / "measured" / "blade1_aoa_runup_rundown.csv";
    std::ifstream in(file);
    std::vector<Revolution> revs;
    std::string line;
    std::getline(in, line); // column names
    while (std::getline(in, line)) {
        std::replace(line.begin(), line.end(), ',', ' ');
        std::istringstream row(line);
        long number = -1;
        Revolution r;
        row >> number >> r.angle[0] >> r.angle[1] >> r.angle[2] >> r.rpm;
        if (!row || number != static_cast<long>(revs.size()))
            ADD_FAILURE() << file << ": unreadable row " << line;
        else
            revs.push_back(r);
    }
    return revs;
}

// Sensors: 0 the shaft mark, 1 ... 3 the probes; each on the channel of its index.
constexpr std::uint8_t kTachoChan = 0;
constexpr std::uint8_t probeChan(int probe) { return static_cast<std::uint8_t>(1 + probe); }
constexpr int kSensors = 1 + kProbes;

// The recording of the measurement. Shaft marks come from integrating the
// revolution periods; blade 1 passes probe p of revolution k at its measured
// angle, taken as the fraction angle / 2 pi of that revolution's length.
// Blades 2 ... 5 were not measured: they are placed at blade 1's angle plus
// k * 72 degrees, so every probe sees five pulses per revolution as on the
// rotor and every blade shows blade 1's deflection. The recording goes on
// past the last measured revolution (repeating it) by the 6 records per
// sensor that the pass leaves out at the end of a recording. With a
// reference angle (radians after the mark) a still reference probe on
// channel kReferenceChan sees every blade there in every revolution: the
// root of pairs whose deflection is the arrival angle itself.
constexpr std::uint8_t kReferenceChan = 1 + kProbes;
inline std::vector<TIndex> buildRecords(const std::vector<Revolution> &revs, std::uint32_t startTicks,
                                        double referenceAngle = -1)
{
    struct Pulse {
        std::int64_t t;
        std::uint8_t ch;
    };
    std::vector<Pulse> pulses;
    auto revolution = [&](const Revolution &r, double mark) {
        pulses.push_back({std::llround(mark), kTachoChan});
        for (int p = 0; p < kProbes; ++p)
            for (int b = 0; b < kBlades; ++b)
                pulses.push_back(
                    {std::llround(mark +
                                  (r.angle[p] / kTwoPi + static_cast<double>(b) / kBlades) * r.ticks()),
                     probeChan(p)});
        if (referenceAngle >= 0)
            for (int b = 0; b < kBlades; ++b)
                pulses.push_back(
                    {std::llround(mark +
                                  (referenceAngle / kTwoPi + static_cast<double>(b) / kBlades) * r.ticks()),
                     kReferenceChan});
    };
    double mark = 0;
    for (const Revolution &r : revs) {
        revolution(r, mark);
        mark += r.ticks();
    }
    const std::size_t measured = pulses.size();
    revolution(revs.back(), mark);
    revolution(revs.back(), mark + revs.back().ticks());
    std::stable_sort(pulses.begin() + static_cast<long>(measured), pulses.end(),
                     [](const Pulse &a, const Pulse &b) { return a.t < b.t; });
    pulses.resize(measured + 1 +
                  6 * (kSensors + (referenceAngle >= 0 ? 1 : 0))); // the closing mark and the tail
    std::stable_sort(pulses.begin(), pulses.end(), [](const Pulse &a, const Pulse &b) { return a.t < b.t; });
    std::vector<TIndex> records;
    records.reserve(pulses.size());
    for (const Pulse &p : pulses)
        records.push_back(TIndex{p.ch, 0, static_cast<std::uint32_t>((startTicks + p.t) & 0xFFFFFFFF)});
    return records;
}

} // namespace vibrolan::test::measured

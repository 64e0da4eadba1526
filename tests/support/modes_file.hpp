// The simulator's modes file (NAME.modes.csv): the truth of every blade's
// resonances, stall and flutter, one row per stage, component and blade.
// Columns a kind does not have read as NaN (nodal diameter: 0).
#pragma once

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace vibrolan::test {

struct ModeLine {
    int stage = 0, blade = 0; // 1-based as written
    std::string kind;         // resonance, stall, flutter
    int engineOrder = 0;
    double naturalHz = NAN, damping = NAN, amplitudeMm = NAN, speedRpm = NAN, timeS = NAN;
    double steadyAmplitudeMm = NAN, steadySpeedRpm = NAN;
    double frequencyHz = NAN, frequencyEndHz = NAN;
    int nodalDiameter = 0;
    double meanAmplitudeMm = NAN, timeFromS = NAN, timeToS = NAN;
};

inline constexpr const char *kModesHeader =
    "stage,blade,kind,engine_order,natural_hz,damping_ratio,amplitude_mm,speed_rpm,time_s,"
    "steady_amplitude_mm,steady_speed_rpm,frequency_hz,frequency_end_hz,nodal_diameter,"
    "mean_amplitude_mm,time_from_s,time_to_s";

// Throws std::runtime_error for a file that is not a modes file.
inline std::vector<ModeLine> readModes(const std::filesystem::path &file)
{
    std::ifstream in(file);
    std::string line;
    if (!std::getline(in, line) || line != kModesHeader)
        throw std::runtime_error(file.string() + ": not a modes file");
    std::vector<ModeLine> rows;
    while (std::getline(in, line)) {
        std::vector<std::string> c;
        std::stringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, ','))
            c.push_back(cell);
        c.resize(17);
        // from_chars: "." decimals whatever the locale.
        auto num = [&](std::size_t i) {
            double v = NAN;
            if (!c[i].empty() && std::from_chars(c[i].data(), c[i].data() + c[i].size(), v).ec != std::errc{})
                throw std::runtime_error(file.string() + ": bad number \"" + c[i] + "\"");
            return v;
        };
        auto whole = [&](std::size_t i) { return c[i].empty() ? 0 : static_cast<int>(num(i)); };
        ModeLine m;
        m.stage = whole(0);
        m.blade = whole(1);
        m.kind = c[2];
        m.engineOrder = whole(3);
        m.naturalHz = num(4);
        m.damping = num(5);
        m.amplitudeMm = num(6);
        m.speedRpm = num(7);
        m.timeS = num(8);
        m.steadyAmplitudeMm = num(9);
        m.steadySpeedRpm = num(10);
        m.frequencyHz = num(11);
        m.frequencyEndHz = num(12);
        m.nodalDiameter = whole(13);
        m.meanAmplitudeMm = num(14);
        m.timeFromS = num(15);
        m.timeToS = num(16);
        rows.push_back(std::move(m));
    }
    return rows;
}

} // namespace vibrolan::test

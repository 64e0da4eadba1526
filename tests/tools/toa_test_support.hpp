// Simulated probe signals turned into pulse times, matched with the
// simulator's true arrivals: what the triggering tests measure.
#pragma once

#include "sim/raw_signals.hpp"
#include "sim/scenario.hpp"
#include "toa/toa_conversion.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace vibrolan::test {

struct TrueArrival {
    double time = 0, height = 0, width = 0;
};

// The arrivals file by channel name.
inline std::map<std::string, std::vector<TrueArrival>> readArrivals(const std::filesystem::path &file)
{
    std::map<std::string, std::vector<TrueArrival>> out;
    std::ifstream in(file);
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        for (std::size_t at = 0;;) {
            const std::size_t c = line.find(',', at);
            f.push_back(line.substr(at, c == std::string::npos ? std::string::npos : c - at));
            if (c == std::string::npos)
                break;
            at = c + 1;
        }
        TrueArrival a;
        std::from_chars(f[2].data(), f[2].data() + f[2].size(), a.time);
        std::from_chars(f[3].data(), f[3].data() + f[3].size(), a.height);
        std::from_chars(f[4].data(), f[4].data() + f[4].size(), a.width);
        out[f[1]].push_back(a);
    }
    return out;
}

// A found pulse and the true arrival nearest to it.
struct Matched {
    double error = 0; // found minus true, seconds
    TrueArrival truth;
};

struct Triggered {
    toa::ToaResult result;
    std::map<std::string, std::vector<Matched>> matched; // by recording channel name
    std::map<std::string, std::size_t> unmatched;        // pulses with no true arrival within `window`
};

// Runs the conversion and matches every pulse found with the nearest true
// arrival of its channel (within `window` seconds).
inline Triggered triggerAndMatch(toa::ToaOptions opt, const std::filesystem::path &arrivals, double window)
{
    Triggered t;
    std::vector<std::pair<int, double>> found;
    opt.onPulse = [&](int ch, double s) { found.emplace_back(ch, s); };
    t.result = toa::convertSignals(opt);
    const auto truth = readArrivals(arrivals);
    for (const auto &[ch, s] : found) {
        const std::string &name = t.result.channels[static_cast<std::size_t>(ch)].name;
        const std::string &signal = t.result.channels[static_cast<std::size_t>(ch)].signal;
        const auto &list = truth.at(signal);
        auto it = std::lower_bound(list.begin(), list.end(), s,
                                   [](const TrueArrival &a, double v) { return a.time < v; });
        const TrueArrival *best = nullptr;
        if (it != list.end())
            best = &*it;
        if (it != list.begin() && (best == nullptr || s - (it - 1)->time < best->time - s))
            best = &*(it - 1);
        if (best == nullptr || std::fabs(s - best->time) > window) {
            ++t.unmatched[name];
            continue;
        }
        t.matched[name].push_back({s - best->time, *best});
    }
    return t;
}

inline double mean(const std::vector<double> &v)
{
    double s = 0;
    for (double x : v)
        s += x;
    return v.empty() ? 0 : s / static_cast<double>(v.size());
}

inline double rms(const std::vector<double> &v, double about = 0)
{
    double s = 0;
    for (double x : v)
        s += (x - about) * (x - about);
    return v.empty() ? 0 : std::sqrt(s / static_cast<double>(v.size()));
}

} // namespace vibrolan::test

// Shared helpers of the simulator tests: run a scaled-down scenario into a
// temporary folder and read the truth file.
#pragma once

#include "sim/scenario.hpp"
#include "sim/simulator.hpp"
#include "support/temp_dir.hpp"
#include "support/truth_file.hpp"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vibrolan::test {

// A signature-mode scenario: 17 irregularly spaced blades, the signature
// taken from probe KS.
inline constexpr const char *kSignatureScenario = R"({
      "name": "sig", "duration_s": 2, "speed": {"steady_rpm": 6000},
      "tacho": {"mode": "signature"},
      "stages": [{"name": "S", "blades": 17, "diameter_mm": 500, "pitch_irregularity": 0.15,
                  "signature_probe": "KS",
                  "probes": [{"name": "KS", "channel": 7, "kind": "root", "angle_deg": 10.588},
                             {"name": "K", "channel": 8, "kind": "root", "angle_deg": 0},
                             {"name": "P", "channel": 9, "kind": "tip", "angle_deg": 3}],
                  "pairs": [{"name": "A", "root": "K", "tip": "P"}]}]})";

inline std::string fileBytes(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A preset shortened so that a test runs in well under a second.
inline sim::Scenario shortPreset(const std::string &name)
{
    const double seconds = name == "large" ? 0.6 : 3.0;
    sim::Scenario s = sim::preset(name);
    s.truthEvery = 1;
    return sim::scaledDuration(s, seconds / s.durationS);
}

} // namespace vibrolan::test

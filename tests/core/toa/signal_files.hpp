// Small signal files for the tests: raw float32 samples with a sidecar.
#pragma once

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vibrolan::test {

// Writes `dir/name.bin` (interleaved float32) and `dir/name.json`; returns the sidecar.
inline std::filesystem::path writeRawSignals(const std::filesystem::path &dir, const std::string &name,
                                             double rate, const std::vector<std::vector<float>> &channels,
                                             const std::vector<std::string> &names,
                                             const std::string &extraJson = "")
{
    const std::size_t n = channels.front().size();
    std::vector<float> inter(n * channels.size());
    for (std::size_t f = 0; f < n; ++f)
        for (std::size_t c = 0; c < channels.size(); ++c)
            inter[f * channels.size() + c] = channels[c][f];
    std::ofstream(dir / (name + ".bin"), std::ios::binary)
        .write(reinterpret_cast<const char *>(inter.data()), static_cast<std::streamsize>(inter.size() * 4));
    std::string json = "{\"format\": \"float32\", \"rate\": " + std::to_string(static_cast<long long>(rate)) +
                       ", \"channels\": " + std::to_string(channels.size()) + ", \"names\": [";
    for (std::size_t c = 0; c < names.size(); ++c)
        json += (c ? ", \"" : "\"") + names[c] + "\"";
    json += "]" + extraJson + "}";
    std::ofstream(dir / (name + ".json")) << json;
    return dir / (name + ".json");
}

// Files in a folder (names only), to see that nothing was left behind.
inline std::vector<std::string> filesIn(const std::filesystem::path &dir)
{
    std::vector<std::string> out;
    for (const auto &e : std::filesystem::directory_iterator(dir))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace vibrolan::test

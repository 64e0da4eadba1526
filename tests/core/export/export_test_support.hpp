// A hand-filled run result of one stage and the means to read a saved data
// set back: its key file and the raw samples of its channel files.
#pragma once

#include "base/code_pages.hpp"
#include "config/cfg_dfm.hpp"
#include "core/output/data_file_test_support.hpp"
#include "output/ini_document.hpp"

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace vibrolan::test {

// Distinct, non-round values so that a swapped series or index shows.
inline float amplAt(std::size_t b, std::size_t i) { return 0.2f + 1.5f * static_cast<float>(b) + 0.013f * i; }
inline float middleAt(std::size_t b, std::size_t i)
{
    return -0.75f + 0.001f * static_cast<float>(i * (b + 1));
}
inline float seriesAt(int base, std::size_t b, std::size_t i)
{
    return static_cast<float>(base) + 10.25f * static_cast<float>(b) + 0.37f * static_cast<float>(i);
}

// One stage of `blades` blades with one pair "P1" holding `size` revolutions
// of every result series. Blade slot 1 starts one sample late (AmplOffs 4),
// as the run leaves a blade that the pair sees before pair 0.
inline TCfgDfm ResultFixture(std::int32_t size, std::size_t blades = 3, TMode mode = TMode::mdDynamic,
                             bool timeCode = false)
{
    TCfgDfm cfg;
    cfg.Mode = mode;
    cfg.CountStage = 1;
    if (timeCode) {
        cfg.CountSensors = 2;
        cfg.Sensors[1].TypeSensor = TTypeSensor::srUTS;
    }
    TStage &st = cfg.Stages[0];
    st.NameStage = "Ст1";
    st.CountBlade = static_cast<std::uint16_t>(blades);
    st.CountPairs = 1;
    TPair &p = st.Pairs[0];
    p.NamePair = "P1";
    p.Checked = true;
    p.Size = size;
    const auto n = static_cast<std::size_t>(size);
    p.Freq.resize(n);
    p.Time.resize(n);
    if (timeCode)
        p.UTS_Time.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        p.Freq[i] = 3000.0f - 7.25f * static_cast<float>(i);
        p.Time[i] = 0.5f + 0.125f * static_cast<float>(i);
        if (timeCode)
            p.UTS_Time[i] = 43200.0 + 0.0123456789 * static_cast<double>(i);
    }
    for (std::size_t b = 0; b < blades; ++b) {
        const std::size_t offs = b == 1 ? 1 : 0;
        p.Ampl[b].assign(n + offs, -99.0f);
        p.AmplOffs[b] = static_cast<std::int32_t>(4 * offs);
        p.MiddleLine[b].resize(n);
        p.Velocity[b].resize(n);
        p.Stress[b].resize(n);
        p.ResonanceCurve[b].resize(n);
        p.StallingOscill[b].resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            p.Ampl[b][i + offs] = amplAt(b, i);
            p.MiddleLine[b][i] = middleAt(b, i);
            p.Velocity[b][i] = seriesAt(100, b, i);
            p.Stress[b][i] = seriesAt(200, b, i);
            p.ResonanceCurve[b][i] = seriesAt(300, b, i);
            p.StallingOscill[b][i] = seriesAt(400, b, i);
        }
    }
    return cfg;
}

// The key file of the data set saved under `dir`.
inline std::filesystem::path keyFileOf(const std::filesystem::path &dir)
{
    return dir / (dir.filename().string() + ".zami");
}

inline datafiles::IniDocument readKeys(const std::filesystem::path &dir)
{
    return datafiles::IniDocument::parse(cp1251ToUtf8(fileBytes(keyFileOf(dir))));
}

template <class T> std::vector<T> samplesOf(const std::filesystem::path &file)
{
    const std::string bytes = fileBytes(file);
    std::vector<T> v(bytes.size() / sizeof(T));
    if (!v.empty())
        std::memcpy(v.data(), bytes.data(), v.size() * sizeof(T));
    return v;
}

} // namespace vibrolan::test

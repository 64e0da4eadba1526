// Small hand-made stages for the stage computation tests.
#pragma once

#include "config/cfg_dfm.hpp"

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

namespace vibrolan::test {

// A configuration with one stage of `blades` blades and `pairs` enabled
// pairs of n revolutions each, speed from f0 in steps of df, time 0.1 s per
// revolution and displacement ampl(pair, blade, revolution, speed).
inline std::unique_ptr<TCfgDfm>
makeStage(TTypeStage type, TMode mode, std::size_t blades, std::size_t pairs, std::size_t n, float f0,
          float df, const std::function<double(std::size_t, std::size_t, std::size_t, double)> &ampl)
{
    auto cfg = std::make_unique<TCfgDfm>();
    cfg->CountStage = 1;
    cfg->Mode = mode;
    cfg->dN = 500;
    cfg->Method = 0;
    cfg->b1 = 0.5f;
    TStage &st = cfg->Stages[0];
    st.TypeStage = type;
    st.CountBlade = static_cast<std::uint16_t>(blades);
    st.CountPairs = static_cast<std::uint16_t>(pairs);
    st.Diametr = 1200;
    st.KfSigma = 2.5f;
    st.BIn = 30;
    for (std::size_t p = 0; p < pairs; ++p) {
        TPair &pair = st.Pairs[p];
        pair.Checked = true;
        pair.Size = static_cast<std::int32_t>(n);
        pair.Freq.resize(n);
        pair.Time.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            pair.Freq[i] = f0 + df * static_cast<float>(i);
            pair.Time[i] = 0.1f * static_cast<float>(i);
        }
        for (std::size_t b = 0; b < blades; ++b) {
            pair.Ampl[b].resize(n);
            for (std::size_t i = 0; i < n; ++i)
                pair.Ampl[b][i] = static_cast<float>(ampl(p, b, i, pair.Freq[i]));
        }
    }
    return cfg;
}

} // namespace vibrolan::test

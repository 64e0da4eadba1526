// Which of the configured stages an editor lists.
#pragma once

#include "config/cfg_dfm.hpp"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vibrolan::app {

// Indices of the configured stages of kind `kind`, in stage order.
inline std::vector<std::uint16_t> StagesOfKind(const TCfgDfm &cfg, TTypeStage kind)
{
    std::vector<std::uint16_t> out;
    const std::size_t count = std::min<std::size_t>(cfg.CountStage, cfg.Stages.size());
    for (std::size_t i = 0; i < count; ++i)
        if (cfg.Stages[i].TypeStage == kind)
            out.push_back(static_cast<std::uint16_t>(i));
    return out;
}

// A stage's harmonic count as a list can hold it.
inline std::int32_t ClampedHarmonicCount(std::int32_t count)
{
    return std::clamp<std::int32_t>(count, 0, static_cast<std::int32_t>(kMaxHarmonics));
}

} // namespace vibrolan::app

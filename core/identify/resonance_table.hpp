// The identified resonances as text: the CSV file (fixed header, "."
// decimals whatever the locale, one row per blade and resonance, sorted by
// stage, speed, blade, stage and blade one-based) and a readable table.
#pragma once

#include "config/cfg_dfm.hpp"
#include "identify/identify.hpp"

#include <string>
#include <vector>

namespace vibrolan::identify {

inline constexpr const char *kResonancesCsvHeader =
    "stage,blade,engine_order,speed_rpm,frequency_hz,damping_ratio,amplitude,phase_deg,pairs,quality";

std::string ResonancesCsv(const IdentifyResult &result);

// Lines of the readable table, then the events that could not be
// identified with their reasons, then the notes.
std::vector<std::string> ResonanceTableLines(const TCfgDfm &cfg, const IdentifyResult &result);

} // namespace vibrolan::identify

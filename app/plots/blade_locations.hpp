// The blade list of the four selectors and the curves of one blade slot.
#pragma once

#include "config/cfg_dfm.hpp"
#include "cursor/my_cursor.hpp"

#include <QStringList>

#include <cstdint>
#include <vector>

namespace vibrolan::app {

using TMArray = std::vector<TAPoint>;

struct BladeLocation {
    std::uint16_t stage = 0;
    std::uint16_t pair = 0;
    std::uint16_t blade = 0;
};

// Every blade slot of every checked pair of every stage, in that order:
// "<stage>:<pair>:Лопатка<n>" with n one-based.
QStringList BladeListEntries(const TCfgDfm &cfg);
// Entry number -> location by walking the same order; false past the end.
bool GetLocationByIndex(const TCfgDfm &cfg, std::uint16_t Index, BladeLocation &loc);

struct BladeCurves {
    TMArray xyData;
    TMArray FitData;
    TMArray StallData;
};

// The three curves of one blade slot for a graph kind (see the plots'
// table of kinds). freqDivisor: 1 for RPM, 60 for Hz. Missing or short
// arrays give shorter curves, never reads past their ends.
BladeCurves GetXYByLocation(const TCfgDfm &cfg, BladeLocation loc, TMode Mode, int kind,
                            std::uint32_t MsrPoint, bool AxesTaho, double freqDivisor);

} // namespace vibrolan::app

// The asynchronous segments as text, for the command line and the GUI
// alike: the CSV files (fixed headers, "." decimals whatever the locale)
// and the cells of the readable table, with the words for what the layout
// or the blades leave open.
#pragma once

#include "config/cfg_dfm.hpp"
#include "identify/async_vibration.hpp"

#include <string>
#include <vector>

namespace vibrolan::identify {

inline constexpr const char *kAsyncCsvHeader =
    "stage,time_from_s,time_to_s,speed_rpm,frequency_hz,nodal_diameter,"
    "amplitude_mean,amplitude_max,blades,quality";
inline constexpr const char *kAsyncTrackCsvHeader =
    "stage,segment,time_s,speed_rpm,frequency_hz,rotor_frequency_hz,nodal_diameter,amplitude";

// A value the layout leaves open, and one the blades' motion leaves open
// (they do not move in one travelling pattern).
inline constexpr const char *kAmbiguousText = "неоднозначно";
inline constexpr const char *kUndeterminedText = "не определено";

// One row per segment (header first), every line ending in "\n".
std::string AsyncSegmentsCsv(const AsyncResult &result);
// One row per window of every segment's track.
std::string AsyncTrackCsv(const AsyncResult &result);

// The readable table's columns and a segment's cells in them, numbers with
// `decimal` as the decimal separator.
enum AsyncColumn : int {
    acStage,
    acTimeFrom,
    acTimeTo,
    acSpeed,
    acFrequency,
    acNodalDiameter,
    acRotorFrequency,
    acAmplitudeMean,
    acAmplitudeMax,
    acBlades,
    acQuality,
    kAsyncColumns
};
std::vector<std::string> AsyncTableHeaders();
std::vector<std::string> AsyncTableCells(const TCfgDfm &cfg, const AsyncSegment &segment, char decimal = '.');

} // namespace vibrolan::identify

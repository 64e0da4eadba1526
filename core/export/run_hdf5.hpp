// The whole run as one self-describing HDF5 file, for analysis in other tools
// (h5py, pandas, MATLAB's h5read). The layout is described in docs/hdf5_layout.md:
//   /                       root attributes: program version, files, run settings
//   /<stage>/               attributes: type, type_code, diameter_mm, blade_count
//   /<stage>/<pair>/        attributes: fi, root and tip sensor names and channels,
//                           revolutions accepted and rejected; datasets:
//     time_s, speed_rpm [, time_of_day_s]        1-D, one value per revolution
//     deflection, middle_line, velocity, stress, resonance_curve, stall_oscillation
//                                                2-D float32 [blade x revolution]
//     mean, rms, min, max                        1-D per blade
//   /<stage>/resonances, resonance_events, resonances_not_identified,
//            asynchronous, asynchronous_track, asynchronous_blades
//                                                compound tables of the identification
// Every dataset carries a "units" attribute.
#pragma once

#include "config/cfg_dfm.hpp"
#include "identify/run_identification.hpp"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vibrolan {

// What the file says about the run beside the configuration's own fields.
struct TRunHdf5Info {
    std::string ProgramVersion;
    std::filesystem::path ConfigFile;
    std::filesystem::path RecordingFile; // empty for data-file input
    double TickPeriod = 0;
    std::array<std::uint32_t, 5> RevCount{}; // tacho marks per stage
    // The pairs the run computed, (stage, pair) in run order; empty: every
    // checked pair of the configuration.
    std::vector<std::pair<int, int>> Pairs;
    // The identification of the same run; null: the file has no tables.
    const identify::RunIdentification *Identification = nullptr;
};

// Stage and pair names as HDF5 link names: "/" and a leading "." would not
// name a plain member, an empty name none at all; `taken` makes each unique.
std::string Hdf5MemberName(const std::string &name, const std::string &fallback,
                           std::vector<std::string> &taken);

// Writes the run's results into `file` (compressed, chunked datasets) through
// a temporary file in the same folder that replaces `file` only when complete:
// a failed save leaves an existing file as it was. A read-only file is refused.
// Throws FileError for anything the file system or the HDF5 library refuses.
void SaveRunHdf5(const TCfgDfm &cfg, const TRunHdf5Info &info, const std::filesystem::path &file);

} // namespace vibrolan

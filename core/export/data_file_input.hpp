// Data files as the input of a run: up to five ZAMI data sets or PRAX files
// whose channels become ready-made blade deflection series of stage 0, so
// that the run skips the pulse pass and only computes (TypeFile = 1).
#pragma once

#include "base/message_sink.hpp"
#include "base/progress.hpp"
#include "config/cfg_dfm.hpp"
#include "output/data_file_env.hpp"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

namespace vibrolan {

// Data-file slots, one per pair of stage 0.
inline constexpr std::size_t kMaxDataFiles = 5;
// Message caption for data files that could not be taken.
inline constexpr const char *kDataFileCaption = "Файл данных";

struct TDataFileInput {
    // Per selection position: the file filled pair k of stage 0.
    std::array<bool, kMaxDataFiles> Loaded{};
    // A run-down data set was read: the pairs' own Freq is the rotation-speed
    // curve, none has to be computed from a recording.
    bool TachoPresent = false;
    // Revolution count of stage 0 set by a run-down data set (its channel 0).
    std::optional<std::uint32_t> RevCount0;
};

// Takes the files in selection order; file k fills pair k of stage 0. A file
// whose extension is exactly ".bld" is a recording and keeps its position
// unused. Sets cfg.TypeFile to 1.
//
// A data set whose test name is "Выбег   " (a run-down over rotation
// frequency) gives per channel t: Ampl[t] = the values, the pair's Freq = the
// argument, Time = 0, 1, 2, ...; any other file: Ampl[t] = the values, Time =
// the argument. Beyond that, so that the run never reads past a series:
//   - the pair's earlier results are released first;
//   - Size is the length of the shortest channel (at most 1,000,001 samples);
//   - a channel without stored argument values contributes its evenly spaced
//     axis k / Freq of its passport (step 1 for a frequency <= 0);
//   - outside a run-down the rotation speed is unknown: Freq holds zeros;
//   - only the first 255 channels are taken (one per blade slot).
// A file that cannot be read, files beyond the fifth and shortened series are
// reported to `sink`; the other files are still taken. A file's pair changes
// only when the whole file was read.
TDataFileInput OpenDataFiles(TCfgDfm &cfg, std::span<const std::filesystem::path> files, MessageSink &sink,
                             const DataFileEnv &env = {}, const ProgressFn &progress = {});

// OpenDataFiles for a batch command, where data files named by the user are
// the whole input: throws ValueError for more than kMaxDataFiles files or
// when none of them could be taken (each refusal was reported to `sink`).
TDataFileInput OpenRequiredDataFiles(TCfgDfm &cfg, std::span<const std::filesystem::path> files,
                                     MessageSink &sink, const DataFileEnv &env = {});

} // namespace vibrolan

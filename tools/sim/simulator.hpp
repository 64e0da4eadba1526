// The recording simulator: writes NAME.bld (and NAME.bldx), the analysis
// configuration NAME.lfm that processes it as it is, the tacho signature
// files of signature mode, NAME.truth.csv with the true deflections of
// every revolution the assembly accepts and NAME.modes.csv with the truth of
// every blade's modes (sim/modes_truth.hpp). Streams: memory stays small however
// long the recording.
#pragma once

#include "base/progress.hpp"
#include "sim/scenario.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vibrolan::sim {

struct SimulationOptions {
    std::filesystem::path outDir;
    std::string name;                  // file stem; the scenario's name when empty
    bool bldx = false;                 // also write the compressed recording
    bool truth = true;                 // write NAME.truth.csv and NAME.modes.csv
    std::optional<std::uint64_t> seed; // overrides the scenario's seed
    ProgressFn progress;               // (simulated milliseconds, total milliseconds)
    // Threads that compute pulses: 0 for as many as the machine has, 1 for
    // none besides the caller's. The files are the same for any number. (The
    // recording's writer thread, which mostly waits for the device, comes on top.)
    unsigned threads = 0;
    // Tip arrivals by the slow reference solver instead of the fast one
    // (within hundredths of a tick of each other), to check the latter.
    bool preciseArrivals = false;
};

struct PairSummary {
    std::string stage, pair;
    std::int64_t accepted = 0, rejected = 0, faulty = 0;
};

struct SimulationResult {
    std::filesystem::path bld, bldx, lfm, truth, modes;
    std::vector<std::filesystem::path> signatures;
    std::uint64_t records = 0;             // pulse records in the recording
    std::uint64_t passRecords = 0;         // of them, the ones the assembly reads
    double seconds = 0;                    // recorded time
    std::vector<std::int64_t> revolutions; // marks per stage
    std::vector<PairSummary> pairs;
};

// Throws ValueError for a bad scenario and FileError when an output cannot be
// written; files already present are replaced only by complete new ones.
SimulationResult simulate(const Scenario &scenario, const SimulationOptions &options);

} // namespace vibrolan::sim

// One blade's samples over the window of a fit, in blocks of B consecutive
// revolutions (B = 1 unless the sweep is so slow that a half-power band
// holds far more revolutions than a fit needs: then a block's mean stands for
// its middle revolution, which the quasi-steady response there allows).
#pragma once

#include "identify/stage_samples.hpp"

#include <vector>

namespace vibrolan::identify {

struct FitWindow {
    int firstRev = 0, lastRev = 0; // grid revolutions covered (inclusive)
    // Per pair slot used (only pairs with samples in the window).
    std::vector<int> slot;        // index into StageSamples::pairs
    std::vector<double> thetaRad; // angle
    std::vector<double> arrival;  // fraction of a revolution from the mark to the blade's arrival
    // Per block.
    std::vector<double> time, rpm; // start time (s), mean speed (rev/min)
    std::vector<double> period;    // one revolution at that speed (s)
    std::vector<double> dt;        // from this block's start to the next one's (s)
    std::vector<int> mid;          // revolutions from the block's start to its middle revolution
    // Samples: value, block and slot (index into the per-slot vectors).
    std::vector<double> y;
    std::vector<int> block, pair;
    double centreRpm = 0, halfRangeRpm = 0; // of the pair slopes
    std::size_t slots() const { return slot.size(); }
    std::size_t blocks() const { return time.size(); }
};

// The samples of `y` (R * P, NaN missing) over revolutions from ... to of the
// grid, in blocks of `blockSize` revolutions; `arrival` per pair of the stage.
FitWindow MakeFitWindow(const StageSamples &st, const std::vector<double> &y, int from, int to, int blockSize,
                        const std::vector<double> &arrival);

} // namespace vibrolan::identify

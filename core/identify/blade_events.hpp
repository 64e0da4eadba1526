// The event detector: where a blade's response rises clearly above its own
// noise floor.
//
// Per pair, the dynamic deflection left by the stage computation is freed of
// a slow baseline (medians of blocks of revolutions, interpolated), which
// takes what the whole-run quadratic detrending left. The blade's noise
// floor sigma is the robust spread (median absolute deviation) of the
// revolution-to-revolution differences of that residue, divided by sqrt 2:
// synchronous response changes little from one revolution to the next,
// timing noise is new every revolution, so sigma is the noise alone even
// where the blade resonates. The residue is averaged over M = 5 (and 25)
// revolutions; the level of a revolution is the RMS over the pairs of that
// average in units of its noise (sigma / sqrt of the samples averaged), a
// z-score that noise alone keeps near 1. A peak is a revolution above the
// threshold (IdentifyOptions::threshold, default 6: noise alone exceeds it
// with a probability below 1e-8 per revolution for one pair, far less for
// more); its extent runs on both sides while the level stays above the
// threshold and above a twentieth of the peak, and ends in a valley behind
// which the level climbs to twice the valley again, so two resonances of one
// blade come apart even where the first one's ringing meets the second. A
// dip inside one resonance (where the probes see its phase alike) may split
// it too: the fits find the two halves the same resonance and keep one. A peak that runs into a
// stronger peak's extent is that peak's tail unless it rises 1.5 times
// above the level where they meet, and every peak must rise twice
// above the median level around it (twice its extent either side), which a
// slow residue of the baseline never does. Peaks shorter than 3 revolutions
// are dropped (a single wild sample is no resonance).
#pragma once

#include "identify/stage_samples.hpp"

#include <vector>

namespace vibrolan::identify {

struct BladeLevel {
    double noise = 0;              // sigma of one sample
    std::vector<double> resid;     // R * P: deflection minus baseline, NaN where missing
    std::vector<double> level;     // per revolution, the z-score above; 0 where no pair has samples
    std::vector<double> levelLong; // the same over 25 revolutions
};

BladeLevel MeasureBlade(const StageSamples &st, const std::vector<double> &y);

struct BladePeak {
    int blade = 0;
    int from = 0, to = 0;         // extent, revolutions (inclusive)
    int peak = 0;                 // revolution of the largest level
    double level = 0;             // the level there
    int halfFrom = 0, halfTo = 0; // where the level stays above peak / sqrt 2
};

// Peaks of one level, in the order of time.
std::vector<BladePeak> FindPeaks(const std::vector<double> &level, double threshold, int blade);
// A blade's peaks: those of the 5-revolution level (fast sweeps cross a
// resonance in a few revolutions) and those of the 25-revolution level where
// the former has none (slow sweeps spread a weak response over hundreds of
// revolutions, and the longer average lifts it further out of the noise).
std::vector<BladePeak> FindBladePeaks(const BladeLevel &level, double threshold, int blade);

} // namespace vibrolan::identify

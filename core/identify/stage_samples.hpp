// The samples identification works on: the checked pairs of a stage put on
// one grid of revolutions (pairs share the stage's tacho, so the same
// revolution has the same Time in every pair), and one blade's dynamic
// deflection per revolution and pair.
#pragma once

#include "config/cfg_dfm.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace vibrolan::identify {

struct StageSamples {
    int stage = 0;
    int blades = 0;
    double diameter = 0;
    std::vector<int> pairs;    // stage indices of the checked pairs with samples
    std::vector<double> fiDeg; // their angles
    // Per revolution of the grid: start time (s), speed (rev/min), and the
    // number of revolutions from this grid point to the next (1 unless every
    // pair rejected the ones between; 0 after the last).
    std::vector<double> time, rpm;
    std::vector<int> step;
    // index[k][r]: sample of pair k at revolution r, or -1.
    std::vector<std::vector<std::int32_t>> index;
    std::size_t revolutions() const { return time.size(); }
};

// The grid of stage `s`. Throws ValueError for a checked pair whose series
// are shorter than its Size (a run that did not finish).
StageSamples CollectStage(const TCfgDfm &cfg, int s);

// The dynamic deflection of blade b: y[r * P + k] for revolution r and pair
// k (P pairs), NaN where the pair has no sample. Samples that are not finite
// or larger than a blade pitch (no assembled pair can show that) become NaN
// and are counted in `dropped`.
void BladeDeflection(const TCfgDfm &cfg, const StageSamples &st, int b, std::vector<double> &y,
                     std::int64_t &dropped);
// The same for the grid revolutions [from, to) only: y[(r - from) * P + k].
void BladeDeflection(const TCfgDfm &cfg, const StageSamples &st, int b, std::size_t from, std::size_t to,
                     std::vector<double> &y, std::int64_t &dropped);

// When blade b passes the tip probe of pair slot k, in revolutions after the
// mark of the grid revolution its sample is filed under. The first slot's
// comes from the configuration and the run: the revolution by which the run
// moved the blade's series (AmplOffs), the pair's tacho shift, the blade's
// pulse position in the pair's numbering (to half a pitch: a constant part
// common to all blades of the pair is not known) and the pair's tip lag (the
// mean of its raw deflection over the circumference). The other slots' are
// the first slot's plus the difference of the pairs' angles `fi`, and the
// whole revolutions their own such times put between them. The value may
// exceed 1 or be negative: it is never folded into one revolution.
double ArrivalFraction(const TCfgDfm &cfg, const StageSamples &st, int k, int b);

} // namespace vibrolan::identify

// The number of nodal diameters of the self-excited oscillation, from the
// phase between neighbouring blades of one pair and the mean frequency the
// frequency table gave.
//
// Choices where the data leave the formulas without an answer:
// - A candidate that rounds to 0 has no relative error, so the other
//   candidate is taken; when both round to 0, m = 0.
// - A blade without data (missing or all-zero series) or with a pitch of 0
//   has no q and is left out of the mean; without any q, or without a
//   rotation speed, there is no estimate at all.
// - The correlation is clamped to [-1, 1] before arccos.
// - Blade N-1 is followed by blade 0 by index arithmetic; the pair's series
//   table is never written.
#pragma once

#include "config/cfg_dfm.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vibrolan {

struct TPitchRow {
    std::string name; // "Fi2 - Fi1"
    double value = 0; // degrees
};

// One row per blade i = 1..N: the pitch from blade i to the next, 360/N each.
std::vector<TPitchRow> PitchList(std::size_t countBlade);

// Rounds halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
double RoundHalfEven(double v);

// The nearer of the two rounded candidates by relative error; see the
// header comment for candidates that round to 0.
double ChooseNodalDiameter(double m1, double m2);

struct TNodalRequest {
    std::vector<double> pitchDeg; // per blade, the pitch to the next blade
    std::vector<bool> checked;    // per blade: the phase is taken as 2pi - theta
    double meanFrequency = 0;     // P, Hz
    double meanRpm = 0;           // rev/min
};

struct TNodalEstimate {
    std::vector<std::optional<double>> q; // per blade; none without data or pitch
    std::optional<double> qMean;
    std::optional<double> m1, m2, m; // none without q or rotation speed
};

// Nodal-diameter estimate from the correlation of neighbouring blades of one
// pair over its first Size - 2 samples.
TNodalEstimate NodalDiameters(const TPair &pair, std::size_t countBlade, const TNodalRequest &request);

} // namespace vibrolan

// The engine order of a resonance from the circumferential pattern across
// the stage's pairs.
//
// A synchronous response of engine order EO seen by probes at casing angles
// theta_k in one revolution is y_k = c cos(EO theta_k) + s sin(EO theta_k)
// plus each pair's own offset. For every EO tried, the blocks (revolutions)
// of the window's core get their own c and s, the offsets are common to the
// window, everything by linear least squares; the EO with the smallest
// residual wins, and its confidence is 1 - best / runner-up residual. Blocks
// with fewer than three pairs add nothing (two pairs fit any EO exactly).
//
// Aliasing: EO n and m give the same pattern over the probes when (n - m) or
// (n + m) times every angle difference theta_k - theta_0 is a whole turn.
// With K the smallest k >= 1 for which k (theta_k - theta_0) comes within
// kAliasToleranceDeg of a whole turn for every k, orders 1 ... floor(K / 2)
// are told apart (MaxDistinctEngineOrder); beyond that the choice between
// aliases is the noise's.
#pragma once

#include "identify/fit_window.hpp"

#include <vector>

namespace vibrolan::identify {

inline constexpr double kAliasToleranceDeg = 10;
inline constexpr int kLargestEngineOrder = 100;

struct EngineOrderScore {
    std::vector<double> rss; // per EO 1 ... eoMax (index EO - 1)
    int best = 0, runnerUp = 0;
    double confidence = 0;
    int blocks = 0; // blocks with at least three pairs
};

// Scores EO 1 ... eoMax over the blocks from ... to (inclusive) of `w`.
EngineOrderScore ScoreEngineOrders(const FitWindow &w, int from, int to, int eoMax);

// Angles closer than this count as one (degrees).
inline constexpr double kSameAngleDeg = 0.5;
int DistinctAngles(const std::vector<double> &anglesDeg);

} // namespace vibrolan::identify

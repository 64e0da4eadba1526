// Splitting a blade's stress series into the slowly varying resonance curve
// and the remaining stall oscillation.
#pragma once

#include "compute/detrend_poly.hpp"
#include "compute/stall_windows.hpp"

#include <cstdint>
#include <span>
#include <vector>

namespace vibrolan {

inline constexpr std::uint16_t kMethodPolynomial = 0; // any other value: running mean
inline constexpr std::size_t kIntervalListBlock = 1024;

// method 0: quadratic fits of stress against speed over speed windows of
// width dN; any other method: running mean over dN samples on each side.
// n = stress.size(); speed, curve and stall must hold n samples. dN must be a
// positive finite number (ValueError, before anything is written). For n <= 2
// nothing is written. The polynomial method writes the interval list (grown
// in blocks of 1024 entries when needed) and CountInterval; the running mean
// leaves both alone.
void SeparateStall(std::span<const float> stress, std::span<const float> speed, std::span<float> curve,
                   double dN, std::int32_t &CountInterval, std::vector<std::uint32_t> &intervals,
                   std::uint16_t method, std::span<float> stall);

// The same with the windows of the speed series found beforehand
// (PlanStallWindows over the same speed and dN).
void SeparateStall(std::span<const float> stress, std::span<const float> speed, const TStallPlan &plan,
                   std::span<float> curve, double dN, std::int32_t &CountInterval,
                   std::vector<std::uint32_t> &intervals, std::uint16_t method, std::span<float> stall);

// The fits of the polynomial method's windows, planned over the speed
// windows once for every blade of a pair (one per window of `plan`).
struct TStallFits {
    std::vector<TPolyPlan> Windows;
};
TStallFits PlanStallFits(std::span<const float> speed, const TStallPlan &plan);

// The same as above with the window fits planned beforehand (PlanStallFits
// over the same speed and plan); the results are those of the form above.
void SeparateStall(std::span<const float> stress, std::span<const float> speed, const TStallPlan &plan,
                   const TStallFits &fits, std::span<float> curve, double dN, std::int32_t &CountInterval,
                   std::vector<std::uint32_t> &intervals, std::uint16_t method, std::span<float> stall);

} // namespace vibrolan

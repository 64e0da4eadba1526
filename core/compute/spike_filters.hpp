// The two spike filters: a windowed one for free-blade stages and a
// single-point one for shrouded stages. Both work in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vibrolan {

// Result codes of the spike filters.
inline constexpr int kSpikesDone = 0;
inline constexpr int kSpikesLevelsOutOfOrder = -1;

// Bit 15 of a point word switches a filter on; bits 0-14 give its length.
inline constexpr std::uint16_t kPointWordOn = 0x8000;
inline constexpr std::uint16_t kPointWordLength = 0x7FFF;

struct TSpikeFilterResult {
    int Code = kSpikesDone;
    std::size_t Changed = 0; // samples whose value the filter altered
};

// Windowed filter: between two anchors that agree within Hi, every point
// farther than Hi from the anchors' mean becomes that mean. W's bits 0-14 give
// the number of points between the anchors; bit 15 is the caller's switch and
// is ignored here. Returns -1 when not (Lo < Hi) but filters anyway: only Hi
// takes part. O(n * m).
int SuppressSpikes(std::span<float> p, std::uint16_t W, double Lo, double Hi);
TSpikeFilterResult SuppressSpikesCounted(std::span<float> p, std::uint16_t W, double Lo, double Hi);

// Single-point filter: a sample that jumps by at least Hi from its left
// neighbour while its two neighbours agree within Lo becomes their mean.
// Returns -1 without touching the series when not (Lo < Hi).
int RepairSpikes(std::span<float> p, double Lo, double Hi);
TSpikeFilterResult RepairSpikesCounted(std::span<float> p, double Lo, double Hi);

} // namespace vibrolan

// The frequency table of the natural-frequency calculator: the frequency of
// the blades' self-excited oscillation from the phase shift between two
// sensor pairs of a steady-state run (the nodal diameters that follow from it
// are in natural_frequency_nodal.hpp).
//
// Choices where the data leave the formulas without an answer:
// - A blade whose series is missing, empty or all zeros (or holds non-finite
//   values) has no correlation: it gets no phase and no frequency, the window
//   shows "нет данных" for it, and it is left out of the column means. Taking
//   r = 0 instead would report a plausible quarter-turn phase for a blade
//   that was never measured and drag the mean with it.
// - Rounding can push a correlation a hair outside [-1, 1]; it is clamped on
//   both pages, so an anti-phase pair gives the phase pi, not 0.
// - The stretch between the cursors is limited to the samples both pairs
//   hold (pair Size, and the blade series themselves); a start beyond them
//   leaves nothing to correlate, so every blade has no data.
// - A column mean over a single blade is that blade's value (SeriesStats
//   gives 0 for one sample, which would read as a frequency of 0 Hz).
#pragma once

#include "config/cfg_dfm.hpp"

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vibrolan {

inline constexpr double kNfTwoPi = 6.283185307179586;
inline constexpr double kNfThreeOverPi =
    0.9549296585513720146; // turns radians and rev/min into Hz per degree
inline constexpr double kNfDegToRad = 0.017453292519943295769;

// Sum xy / sqrt(sum x^2 * sum y^2) over the first min(|x|, |y|) samples. No
// value when there are no samples, either series is all zeros, or the result
// is not finite.
std::optional<double> NormalizedProduct(std::span<const float> x, std::span<const float> y);

// arccos of r clamped to [-1, 1].
double PhaseOf(double r);

// Mean of a pair's rotation speed (Freq, rev/min) over its Size samples; no
// value when the pair holds none. One sample is its own mean.
std::optional<double> MeanRotation(const TPair &pair);

struct TFrequencyRequest {
    double dFi = 0;     // angle between the pairs, degrees
    double meanRpm = 0; // mean rotation speed, rev/min
    int startIndex = 0; // the cursors' sample indexes
    int endIndex = 0;
};

struct TBladeFrequencies {
    std::optional<double> r;   // none: the blade has no data
    double phi = 0;            // radians
    std::array<double, 4> f{}; // phi*k, (2pi-phi)*k, (2pi+phi)*k, (4pi-phi)*k
};

struct TColumnStats {
    std::size_t count = 0; // blades with a value
    double mean = 0;
    double rms = 0;
};

struct TFrequencyTable {
    double k = 0;
    bool fromCursors = false; // the stretch between the cursors was used
    std::size_t first = 0;    // first sample read
    std::size_t length = 0;   // samples read (L)
    std::vector<TBladeFrequencies> blades;
    std::array<TColumnStats, 4> columns;

    // Entry 0 the mean of `column`, entries 1..N the blades' values of it
    // (0 for a blade without data). `column` is 0..3.
    std::vector<float> ResultArray(std::size_t column) const;
};

// The frequency table of `countBlade` blades from pairs p1 and p2. No table
// (the command does nothing) when dFi is 0 or not finite, or a pair holds 3
// or fewer samples.
//
// The stretch: when endIndex - startIndex > 99 the samples startIndex ..
// endIndex-1 are read (limited to what both pairs hold); otherwise samples
// 0 .. L-1 with L = the smaller Size - 2.
std::optional<TFrequencyTable> FrequencyTable(const TPair &p1, const TPair &p2, std::size_t countBlade,
                                              const TFrequencyRequest &request);

} // namespace vibrolan

// Element-wise series operations, the normalised correlation and the clamp
// into the positive Single range. The count is the output's length; inputs
// shorter than that are refused with ValueError.
#pragma once

#include <span>

namespace vibrolan {

// The smallest positive (denormal) Single and the largest finite one.
inline constexpr double kSingleTiny = 1.401298464324817e-45;
inline constexpr double kSingleHuge = 3.4028235e38;

// b[i] := a[i] + d[i]
void AddSeries(std::span<const float> a, std::span<const float> d, std::span<float> b);
// dst[i] := src[i] - v
void SubConst(std::span<const float> src, float v, std::span<float> dst);
// d[i] := |a[i] - b[i]|
void AbsDiff(std::span<const float> a, std::span<const float> b, std::span<float> d);
// dst[i] := f * src[i]; src and dst may be the same series.
void ScaleSeries(std::span<const float> src, double f, std::span<float> dst);

// The sums of a normalised product over the first n samples (no mean removed).
struct TProductSums {
    double ab = 0, aa = 0, bb = 0;
    // √Σa² · √Σb²
    double Denominator() const;
};
TProductSums ProductSums(std::span<const float> a, std::span<const float> b, std::size_t n);

// Σ a·b / (√Σa² · √Σb²) over the first n samples, no mean removed; 1,000,000
// when the denominator is 0.
double Correlate(std::span<const float> a, std::span<const float> b, std::size_t n);

// Values below the smallest positive Single (zero, negatives and NaN included)
// become it, values above the largest finite Single become that, the rest are
// rounded to Single.
float ClampToSingle(double x);

} // namespace vibrolan

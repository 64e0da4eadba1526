// Quadratic detrending of a series against an abscissa through sigmath's
// least-squares PolyFit.
#pragma once

#include <span>

namespace vibrolan {

// Fits y against x with a quadratic, writes the fitted trend (as Single) into
// `trend` and subtracts it from y in place. n = y.size(); x and trend must
// hold at least n samples (ValueError otherwise). A PolyFit failure (fewer
// than three points, a degenerate abscissa) does not stop the routine: the
// trend is then what the fit left in its zero-filled output, i.e. 0, and y
// keeps its values.
void DetrendPoly(std::span<const float> x, std::span<float> y, std::span<float> trend);

} // namespace vibrolan

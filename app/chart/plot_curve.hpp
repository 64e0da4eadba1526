// Putting a curve into a chart series with the thinning rules.
#pragma once

#include "chart/chart.hpp"
#include "chart/plot_thinning.hpp"
#include "plots/blade_locations.hpp"

#include <span>

namespace vibrolan::app {

void PlotCurve(Chart &chart, int series, const TMArray &curve, std::size_t limit = kPlotPointLimit);
// n is the length of the shorter array.
void PlotArrays(Chart &chart, int series, std::span<const float> x, std::span<const float> y,
                std::size_t limit = kPlotPointLimit);

} // namespace vibrolan::app

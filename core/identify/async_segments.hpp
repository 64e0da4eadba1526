// The detected windows of a stage joined into segments of one component:
// the frequency track, the segment's ends, frequency, nodal diameter,
// amplitudes and quality, and the readings the layout or the noise leaves
// open (docs/asynchronous.md, steps 7 and 8, and the aliases).
#pragma once

#include "identify/async_reading.hpp"
#include "identify/async_spectrum.hpp"
#include "identify/async_vibration.hpp"
#include "identify/stage_samples.hpp"

#include <vector>

namespace vibrolan::identify {

// `readings` by window, each with its blades' amplitudes (those without
// take no part); `aliasPeriod` and `maxOrder` as AsyncLayout has them.
std::vector<AsyncSegment> JoinSegments(const std::vector<AsyncReading> &readings, const StageSamples &st,
                                       const AsyncWindows &win, int aliasPeriod, double maxOrder,
                                       const AsyncOptions &opt);

} // namespace vibrolan::identify

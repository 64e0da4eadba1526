// The tacho and every blade probe as one pulse stream, made a revolution at
// a time: within a revolution the pulses come nearly in the order of their
// undeflected angles, which is fixed for the scenario, so they are laid out
// in that order and only the few that deflection or timing noise moves past
// a neighbour are put in their place (an insertion sort, time first, then
// the order of the separate sources). A revolution's pulses are released
// once the next revolution is made, up to the last of them: the revolution
// after the next starts later than all of them. The pulses, their random
// draws and their order are those of the tacho and probe sources merged by
// PulseMerger in the order tacho, probes stage by stage.
#pragma once

#include "sim/pulse_sources.hpp"

#include <memory>
#include <vector>

namespace vibrolan::sim {

// `motion[s]` is stage s's blade motion; the tacho only when `withTacho`.
// The arrivals are found a batch of revolutions ahead; a thread that waits
// for the stream's pulses (PulseSource::help()) and, with `shareSolves`, a
// thread of the source's own solve revolutions of the batches ahead. Each
// revolution is solved whole by one thread, so the pulses are the same.
std::unique_ptr<PulseSource> makeRevolutionSource(const Shaft &shaft, double tickPeriod, const Scenario &s,
                                                  const std::vector<StageGeometry> &geo,
                                                  const std::vector<const BladeMotion *> &motion,
                                                  bool withTacho, bool preciseArrivals = false,
                                                  bool shareSolves = false);

} // namespace vibrolan::sim

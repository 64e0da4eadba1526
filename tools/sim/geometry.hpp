// Where the blades are and in which order each probe sees them after the
// revolution mark. Blade b of a stage passes the stage's first root probe at
// (b + 0.5 + irregularity) / N of a revolution after the mark, so that probe
// sees blades 0, 1, 2 ... in order, half a pitch clear of the mark.
#pragma once

#include "sim/scenario.hpp"

#include <vector>

namespace vibrolan::sim {

struct PairGeometry {
    int rootProbe = 0, tipProbe = 0; // indexes into the stage's probes
    std::vector<int> numberBlade;    // k-th root pulse after the mark -> blade
    int skipBlade = 0;               // tip pulses of the previous revolution seen first
    double tipLag = 0;               // tip minus root angle, fraction of a revolution in [0, 1)
};

struct StageGeometry {
    // Offset (fraction of a revolution after the mark) at which blade b
    // passes probe p without deflection: offset[p][b], in [0, 1).
    std::vector<std::vector<double>> offset;
    std::vector<PairGeometry> pairs;
    int signatureProbe = -1;      // probe index in signature mode
    std::vector<float> signature; // mean-free relative intervals ending at blade 0
    double maxDeflectionMm = 0;   // bound of |deflection| over the run
};

// Throws ValueError (naming the field) when a probe or pair is inconsistent or
// a blade arrives too close to the revolution mark for the assembly to be sure.
StageGeometry stageGeometry(const Scenario &s, std::size_t stageIndex);

// Index of the probe named `name` in the stage, or -1.
int probeIndex(const StageSpec &st, const std::string &name);

} // namespace vibrolan::sim

// The tip deflection of every blade of a stage (arc length in mm at the
// stage diameter, positive against the rotation, so a positive deflection
// makes the blade reach a tip probe later): quasi-static c * rpm^2, the
// synchronous resonances as steady single-degree-of-freedom responses, and
// an optional asynchronous stall oscillation.
#pragma once

#include "sim/scenario.hpp"

#include <vector>

namespace vibrolan::sim {

class BladeMotion {
public:
    BladeMotion(const StageSpec &stage, std::uint64_t seed);

    // Deflection of blade b at time t (s), shaft angle theta (rev) and speed rpm.
    double deflection(int b, double t, double theta, double rpm) const;
    // The asynchronous part of it alone (0 without a stall oscillation).
    double stallDeflection(int b, double t) const;

    struct Mode {
        ResonanceSpec spec;
        std::vector<double> naturalHz; // per blade, mistuned
        double eo = 0, twoPiEo = 0;    // the engine order, and 2 pi times it, as the formulas use them
    };
    const std::vector<Mode> &modes() const { return modes_; }
    double bladePosition(int b) const { return bladePos_[b]; } // b / N
    const StageSpec &stage() const { return stage_; }

private:
    const StageSpec &stage_;
    std::vector<Mode> modes_;
    std::vector<double> bladePos_; // b / N
};

} // namespace vibrolan::sim

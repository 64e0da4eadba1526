// The tip deflection of every blade of a stage (arc length in mm at the
// stage diameter, positive against the rotation, so a positive deflection
// makes the blade reach a tip probe later): quasi-static c * rpm^2, the
// synchronous resonances as steady single-degree-of-freedom responses (or,
// with the transient response, integrated in time through the speed
// profile), an optional asynchronous stall oscillation and an optional flutter.
#pragma once

#include "sim/scenario.hpp"
#include "sim/transient_response.hpp"

#include <vector>

namespace vibrolan::sim {

class BladeMotion {
public:
    BladeMotion(const StageSpec &stage, std::uint64_t seed);
    // With the resonances integrated in time over [0, endS] of the shaft's speed profile.
    BladeMotion(const StageSpec &stage, std::uint64_t seed, const Shaft &shaft, double endS);

    // Deflection of blade b at time t (s), shaft angle theta (rev) and speed rpm.
    double deflection(int b, double t, double theta, double rpm) const;
    // The asynchronous part of it alone (0 without a stall oscillation).
    double stallDeflection(int b, double t) const;
    double flutterDeflection(int b, double t) const;
    // The stall's amplitude envelope at t (0 outside its segment).
    double stallEnvelope(double t) const;

    struct Mode {
        ResonanceSpec spec;
        std::vector<double> naturalHz; // per blade, mistuned
        double eo = 0, twoPiEo = 0;    // the engine order, and 2 pi times it, as the formulas use them
    };
    const std::vector<Mode> &modes() const { return modes_; }
    // Mode m's integrated response (nullptr with the steady one).
    const TransientResponse *transient(std::size_t m) const
    {
        return transient_.empty() ? nullptr : &transient_[m];
    }
    double bladePosition(int b) const { return bladePos_[b]; } // b / N
    const StageSpec &stage() const { return stage_; }
    // The motion has parts the fast arrival solver does not model (an
    // integrated response, a flutter, a stall beyond the plain form): the
    // arrivals are solved on deflection() itself.
    bool generalOnly() const { return general_; }

private:
    const StageSpec &stage_;
    std::vector<Mode> modes_;
    std::vector<double> bladePos_; // b / N
    std::vector<TransientResponse> transient_;
    bool general_ = false;
};

} // namespace vibrolan::sim

// One synchronous mode of a stage's blades integrated in time through the
// speed profile instead of taken as its steady state: for blade b
//   x'' + 2 zeta w x' + w^2 x = w^2 F cos(psi(t)),  psi = 2 pi EO (theta(t) + b / N),
// w = 2 pi times the blade's (mistuned) natural frequency, theta the shaft
// angle in revolutions, started in the steady state of the speed at t = 0.
//
// Method: the time axis is cut into equal steps h; over a step the forcing's
// phase is taken as linear between its exact values at the step's ends (the
// error is below |psi''| h^2 / 8, and h is chosen to keep that under 1e-6
// rad), and the oscillator is propagated over the step exactly: the
// particular solution of the linear-phase forcing plus the free motion of
// what is left, e^(-zeta w tau) (cos, sin)(w_d tau). There is no
// discretisation error beyond that of the phase, however far the step is
// from 1 / w. The state of every blade is kept at every step (or every
// stride-th step when that would take more than a budget of memory; a query
// then propagates the few steps from the kept one), and the deflection at
// any instant follows from the step's state by the same exact propagation.
// At constant speed the forcing's phase is linear, so the response is the
// steady state to rounding.
#pragma once

#include "sim/shaft.hpp"

#include <cstddef>
#include <vector>

namespace vibrolan::sim {

class TransientResponse {
public:
    // `naturalHz` and `bladePos` (b / N) per blade; the steps cover [0, endS]
    // (later instants follow from the last step, as at constant speed).
    // Throws ValueError when the steps would not fit into memory.
    TransientResponse(const Shaft &shaft, double endS, int engineOrder, double damping, double forcingMm,
                      const std::vector<double> &naturalHz, const std::vector<double> &bladePos);

    // Deflection of blade b (mm) at time t (s). Thread-safe.
    double at(int b, double t) const;

    // The largest |x| over [0, endS] and when it occurs.
    struct Peak {
        double amplitudeMm = 0, timeS = 0;
    };
    Peak peak(int b) const { return peaks_[static_cast<std::size_t>(b)]; }
    double step() const { return h_; }

private:
    struct Blade {
        double w, sigma, wd;       // natural, decay rate, damped (rad/s)
        double eRe, eIm;           // exp(i 2 pi EO b / N)
        double decayH, cosH, sinH; // the free motion over one step
    };
    struct State {
        double x, v;
    };
    // exp(i 2 pi EO theta_k): the forcing's phasor at the start of step k.
    void phasor(std::size_t k, double &re, double &im) const;
    // The forcing's angular frequency over step k.
    double omega(std::size_t k) const;
    // The steady state of step 0's forcing at t = 0: nothing free to start with.
    State steadyStart(const Blade &bl) const;
    // Propagates `s` from step k's start by tau (0 <= tau <= h; beyond on the last step).
    State propagate(const Blade &bl, std::size_t k, State s, double tau) const;
    // One whole step at the forcing's frequency om, given the phasors at its start and end.
    State fullStep(const Blade &bl, double om, State s, double cRe, double cIm, double nRe, double nIm) const;

    double eo_, zeta_, forcing_;
    Shaft shaft_; // its time queries are thread-safe
    double h_ = 0;
    std::size_t steps_ = 0, stride_ = 1;
    std::vector<Blade> blades_;
    std::vector<State> kept_; // blade-major, every stride_-th step
    std::size_t keptPerBlade_ = 0;
    std::vector<Peak> peaks_;
    // Per step: the phasor's real and imaginary parts and the frequency (when
    // they fit into the memory budget; else computed per query).
    std::vector<double> table_;
};

} // namespace vibrolan::sim

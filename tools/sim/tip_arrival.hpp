// When a deflected blade reaches a tip probe: the instant at which the shaft
// angle minus the deflection (as a fraction of the circumference) meets the
// blade's undeflected offset at the probe, solved with the deflection taken
// at that same instant.
//
// fast() is what the recording uses: the undeflected arrival follows from
// the revolution's mark by a series (no root or division where the speed
// changes slowly enough over a revolution, else one square root), the
// shaft is expanded around that arrival, the resonances are complex
// responses turned by the small deflection angle (no trigonometry per
// pulse), and the deflection follows from one evaluation with its slope
// and curvature when the terms left out are bounded below a hundredth of a
// tick, else from Newton steps until a step moves the arrival by less. Its
// block form gives the same numbers, faster. precise() is the solver the
// recording used before: three fixed-point steps on the full motion model
// (cos and atan2 per step) with the exact shaft inverse; it is kept as the
// reference the fast solution is checked against. A motion beyond the fast
// solution's model (an integrated response, a flutter, a stall with drift,
// segment or another depth) takes fixed-point steps on the full model to a
// ten-thousandth of a tick instead, for every pulse (general()).
#pragma once

#include "sim/blade_motion.hpp"
#include "sim/shaft.hpp"

#include <cstdint>
#include <vector>

namespace vibrolan::sim {

class TipArrival {
public:
    // `offsets`: the probe's undeflected offset of each blade (fraction of a
    // revolution after the mark), `tickPeriod` the counter's tick in seconds.
    TipArrival(const Shaft &shaft, const BladeMotion &motion, const std::vector<double> &offsets,
               double tickPeriod);

    // Seconds since the start at which blade b reaches the probe in revolution `rev`.
    double fast(int b, std::int64_t rev);
    double precise(int b, std::int64_t rev);
    // fast() for `n` pulses (blade[i] in revolution rev[i]) into t[i].
    void fast(const std::int32_t *blade, const std::int64_t *rev, double *t, std::size_t n);
    // The same for `n` pulses of one revolution.
    void fast(const std::int32_t *blade, std::int64_t rev, double *t, std::size_t n);
    // The same for every blade of revolution `rev` in the order given once
    // by useOrder() (the blade tables laid out in that order beforehand).
    void useOrder(const std::vector<std::int32_t> &order);
    void fastInOrder(std::int64_t rev, double *t);

private:
    // Deflection (mm) of blade b at time t and speed rpm with the shaft
    // `shift` revolutions past the undeflected arrival, with its first and
    // second derivative with respect to the shift (the first through the
    // resonances' phase, the stall's time, 1/w seconds per revolution, and
    // the speed, `rpmPerShift`; the second through the phase only).
    struct Deflection {
        double d = 0, slope = 0, curvature = 0;
    };
    // `atArrival`: shift is 0.
    template <bool atArrival>
    Deflection deflection(int b, double t, double rpm, double shift, double perW, double rpmPerShift) const;

    template <class RevOf> void fastBlock(const std::int32_t *blade, RevOf revOf, double *t, std::size_t n);
    // The blade tables of the n pulses' blades laid out for the lane kernel
    // (see tables_), padded to `stride` with the last one.
    void laneTables(const std::int32_t *blade, std::size_t n, std::size_t stride, double *tables) const;
    // n pulses of revolution `rev`, blade[i] delta[i] after its mark, their
    // tables laid out at `stride`.
    void solveRevolution(std::int64_t rev, const double *delta, const double *tables, std::size_t stride,
                         const std::int32_t *blade, double *t, std::size_t n);
    bool movedBySeries(const Shaft::Local &at, double shift, double &t, double &rpm) const;
    bool oneEvaluation(int b, const Shaft::Local &at, double &t) const;
    double newton(int b, double target, const Shaft::Local &at);

    Shaft shaft_; // a copy of its own: its search hint changes with every query
    const BladeMotion &motion_;
    std::vector<double> offsets_;
    double circumference_, perCircumference_, tick_;
    std::size_t modes_;
    // Per blade and mode (blade-major): the phasor of the excitation at the
    // undeflected arrival, exp(i 2 pi EO (offset + blade position)), and
    // EO / (60 natural frequency) that turns rpm into the frequency ratio.
    std::vector<double> baseRe_, baseIm_, ratioPerRpm_;
    std::vector<double> twoPiEo_, twoZeta_, forcing_;
    bool stall_;
    // The motion is beyond the fast solver's model (BladeMotion::generalOnly()):
    // every arrival by general(), none through the lane kernel.
    bool general_;
    bool scalarOnly_; // stall_ or general_
    // Fixed-point steps on the full motion model until a step moves the
    // arrival by less than a ten-thousandth of a tick.
    double general(int b, std::int64_t rev);
    // Bounds (per circumference) of the terms the one-evaluation solution
    // leaves out: the resonances' third derivative / 6, the stall's second
    // time derivative / 2 and the resonances' second derivative by rpm / 2.
    double cubic_ = 0, stallCurvature_ = 0, rpmCurvature_ = 0;
    // Those checks pass for every pulse of the speed profile (no stall):
    // the block form does not make them pulse by pulse.
    bool boundsHoldEverywhere() const;
    bool boundsHold_ = false;
    // Scratch of the block form: the places after the mark, the blades' tables (ratio,
    // then the phasor's real and imaginary parts, mode-major) and the
    // kernel's answers.
    std::vector<double> delta_, tables_, out_;
    std::vector<double> failed_; // 0: the kernel's answer holds
    // useOrder(): the order, its blades' offsets and tables, padded.
    std::vector<std::int32_t> order_;
    std::vector<double> orderOffsets_, orderTables_;
};

} // namespace vibrolan::sim

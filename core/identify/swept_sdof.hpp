// The response model of one blade crossing a synchronous resonance, exact
// for a single-degree-of-freedom blade on a shaft whose speed is constant
// within each revolution (and so for any sweep the revolutions resolve).
//
// The blade obeys x'' + 2 zeta omega x' + omega^2 x = omega^2 F cos(EO phi + psi),
// phi the blade's angle on the casing, x the tip deflection (static
// response F). With s = -zeta omega + i omega_d and a' = s a + f the modal
// coordinate, x = (omega^2 / omega_d) Im a. The forcing splits into the
// component rotating with the blade, (F/2) e^{i psi} e^{i EO phi}, which
// drives the resonance, and its mirror, whose response stays quasi-steady
// (it is far from resonance: 1/(-i Omega_e - s), Omega_e = EO * shaft speed).
// In the frame of the forcing, w = a+ e^{-i EO phi}, w' = (s - i Omega_e) w + G,
// G = (F/2) e^{i psi}. Over one revolution EO phi advances by exactly 2 pi EO,
// so with the speed of revolution j constant inside it the state at the
// revolutions' marks follows exactly
//     w_{j+1} = w*_j + e^{s T_j} (w_j - w*_j),    w*_j = G / (i Omega_e,j - s),
// the quasi-steady response w*_j being what a steady-state model would take
// for the whole response. When the blade passes a probe at angle theta,
// tau = (m + f) T_j after the mark (f the arrival fraction), the response is
//     x = (omega^2/omega_d) Im[ e^{i EO theta} (w*_j + e^{s tau} e^{-2 pi i EO f} (w_j - w*_j))
//                               + conj(G) e^{-i EO theta} / (-i Omega_e,j - s) ].
// The window starts off resonance, so w_0 = w*_0. The response is linear in
// G (two real unknowns) and in the per-pair offset and slope that the
// detrending leaves; for given omega and zeta those are solved by linear
// least squares (variable projection), so the nonlinear fit has only omega
// and zeta to find. The steady-state variant (w_j = w*_j throughout) is kept
// for comparison: it is what a fast sweep defeats.
#pragma once

#include "identify/fit_window.hpp"

#include <Eigen/Dense>

#include <complex>
#include <vector>

namespace vibrolan::identify {

// The residual sum of squares of the window with no resonance at all: each
// pair's offset and slope alone.
double OffsetsOnlyRss(const FitWindow &window);

class SweptSdof {
public:
    SweptSdof(const FitWindow &window, int engineOrder, bool swept);

    // Adds the response of another resonance of the same blade (its two
    // columns at its fitted omega and zeta, from that model's columns()) as
    // known shapes with free amplitudes: its tail in this window is then
    // not taken for this resonance's response.
    void addKnown(const std::vector<double> &c0, const std::vector<double> &c1);

    // Residual sum of squares at omega (rad/s) and zeta with the linear terms
    // solved; +inf when the linear system is singular.
    double evaluate(double omega, double zeta);
    // The two response columns of the last evaluation (per sample, for G's
    // real and imaginary part).
    const std::vector<double> &column0() const { return c0_; }
    const std::vector<double> &column1() const { return c1_; }
    Eigen::Index offsetIndex(std::size_t slot) const
    {
        return static_cast<Eigen::Index>(2 + 2 * known0_.size() + slot);
    }
    Eigen::Index slopeIndex(std::size_t slot) const
    {
        return offsetIndex(slot) + static_cast<Eigen::Index>(w_.slots());
    }

    // Of the last evaluation:
    const std::vector<double> &residual() const { return resid_; }
    std::vector<double> modelValues() const; // per sample
    // G = linear()[0] + i linear()[1]; then the known shapes' amplitudes, per
    // slot the offset and, when the window's speed varies, the slope per
    // (rpm - centre) / halfRange (offsetIndex, slopeIndex).
    const Eigen::VectorXd &linear() const { return beta_; }
    bool hasSlopes() const { return slopes_; }
    // Zero-to-peak response amplitude at the middle revolution of each block.
    std::vector<double> envelope() const;

    const FitWindow &window() const { return w_; }
    int engineOrder() const { return eo_; }

private:
    const FitWindow &w_;
    int eo_;
    bool swept_, slopes_;
    double omega_ = 0, zeta_ = 0;
    std::vector<std::complex<double>> vstar_, bp_, state_;
    std::vector<std::complex<double>> rotor_, mirror_, lag_; // per slot
    std::vector<double> c0_, c1_, resid_;
    std::vector<std::vector<double>> known0_, known1_;
    Eigen::MatrixXd normal_;
    Eigen::VectorXd rhs_, beta_;
};

} // namespace vibrolan::identify

// The nonlinear part of the fit: natural frequency and damping ratio by
// Levenberg-Marquardt on the projected residual of SweptSdof (the linear
// terms re-solved at every step), in log omega and log zeta so both stay
// positive and steps scale with the resonance's width. A coarse scan of
// omega over the window's excitation range (at the detector's estimate of
// zeta and a third of it, then of zeta at the best omega) gives the start, so a fast sweep
// whose peak the detector sees late still starts in the right valley.
#pragma once

#include "identify/swept_sdof.hpp"

namespace vibrolan::identify {

struct SdofFit {
    double omega = 0, zeta = 0, rss = 0;
    int evaluations = 0;
    bool converged = false;
};

// Damping ratios a fit may take; a fit that ends at either bound is no resonance.
inline constexpr double kMinZeta = 1e-4, kMaxZeta = 0.3;

// omega0, zeta0: the start estimates; omegaLo ... omegaHi: the range scanned
// (rad/s). The model holds the best fit's linear terms afterwards.
// Without `scan` the fit starts at omega0, zeta0 as they are.
SdofFit FitSdof(SweptSdof &model, double omega0, double zeta0, double omegaLo, double omegaHi,
                bool scan = true);

} // namespace vibrolan::identify

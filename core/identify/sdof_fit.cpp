#include "identify/sdof_fit.hpp"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <limits>

namespace vibrolan::identify {

SdofFit FitSdof(SweptSdof &model, double omega0, double zeta0, double omegaLo, double omegaHi, bool scan)
{
    SdofFit fit;
    auto eval = [&](double lw, double lz) {
        ++fit.evaluations;
        const double z = std::exp(lz);
        if (!(z >= kMinZeta && z <= kMaxZeta) || !std::isfinite(lw))
            return std::numeric_limits<double>::infinity();
        return model.evaluate(std::exp(lw), z);
    };
    double lz = std::log(std::clamp(zeta0, scan ? 1e-4 : kMinZeta, scan ? 0.1 : kMaxZeta));
    double lw = std::log(omega0), best = eval(lw, lz);
    if (!scan)
        omegaLo = omegaHi = omega0;
    // The scan: about ten points per half-power width, at most 41.
    const double lo = std::log(std::min(omegaLo, omega0)), hi = std::log(std::max(omegaHi, omega0));
    const int points = std::clamp(static_cast<int>((hi - lo) / (std::exp(lz) * 0.2)), 5, 41);
    // At the detector's damping and at a third of it (the detector's level
    // widens a peak that the probes see at alike phases, or that noise blurs).
    const double lz0 = lz;
    for (double lzs : {lz0, lz0 - std::log(3.0)})
        for (int i = 0; i <= points && scan; ++i) {
            const double x = lo + (hi - lo) * i / points, r = eval(x, lzs);
            if (r < best) {
                best = r;
                lw = x;
                lz = lzs;
            }
        }
    const double lzBest = lz;
    for (double f : {0.25, 0.5, 2.0, 4.0}) {
        if (!scan)
            break;
        const double r = eval(lw, lzBest + std::log(f));
        if (r < best) {
            best = r;
            lz = lzBest + std::log(f);
        }
    }
    if (!std::isfinite(best))
        return fit;

    // Levenberg-Marquardt with forward-difference Jacobians.
    const std::size_t n = model.window().y.size();
    Eigen::VectorXd r0(static_cast<Eigen::Index>(n));
    Eigen::MatrixXd J(static_cast<Eigen::Index>(n), 2);
    double lambda = 1e-3;
    best = eval(lw, lz);
    for (int it = 0; it < 60; ++it) {
        const auto &res = model.residual();
        for (std::size_t i = 0; i < n; ++i)
            r0(static_cast<Eigen::Index>(i)) = res[i];
        const double h[2] = {1e-3 * std::exp(lz), 1e-3};
        bool ok = true;
        for (int c = 0; c < 2 && ok; ++c) {
            const double rr = eval(lw + (c == 0 ? h[0] : 0), lz + (c == 1 ? h[1] : 0));
            ok = std::isfinite(rr);
            const auto &rh = model.residual();
            for (std::size_t i = 0; i < n && ok; ++i)
                J(static_cast<Eigen::Index>(i), c) = (rh[i] - r0(static_cast<Eigen::Index>(i))) / h[c];
        }
        if (!ok) { // at the damping bound: restore and stop
            eval(lw, lz);
            break;
        }
        const Eigen::Matrix2d A = J.transpose() * J;
        const Eigen::Vector2d g = J.transpose() * r0;
        bool improved = false, small = false;
        for (int tries = 0; tries < 12; ++tries) {
            Eigen::Matrix2d D = A;
            D.diagonal() += lambda * A.diagonal().cwiseMax(1e-300);
            const Eigen::Vector2d step = -D.ldlt().solve(g);
            const double r = eval(lw + step(0), lz + step(1));
            if (r < best) {
                small = std::fabs(step(0)) < 1e-7 * std::exp(lz) && std::fabs(step(1)) < 1e-6;
                small = small || (best - r) < 1e-12 * best;
                lw += step(0);
                lz += step(1);
                best = r;
                lambda = std::max(lambda / 3, 1e-9);
                improved = true;
                break;
            }
            lambda *= 4;
        }
        if (!improved || small) {
            fit.converged = true;
            break;
        }
    }
    fit.rss = eval(lw, lz); // leaves the model at the result
    fit.omega = std::exp(lw);
    fit.zeta = std::exp(lz);
    return fit;
}

} // namespace vibrolan::identify

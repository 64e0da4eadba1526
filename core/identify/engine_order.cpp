#include "identify/engine_order.hpp"

#include "identify/identify.hpp"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <limits>

namespace vibrolan::identify {

namespace {

double wrapDeg(double a)
{
    a = std::fmod(a, 360.0);
    if (a > 180)
        a -= 360;
    if (a < -180)
        a += 360;
    return a;
}

} // namespace

int DistinctAngles(const std::vector<double> &anglesDeg)
{
    std::vector<double> seen;
    for (double a : anglesDeg) {
        if (!std::isfinite(a))
            continue;
        const bool known = std::any_of(seen.begin(), seen.end(),
                                       [&](double b) { return std::fabs(wrapDeg(a - b)) < kSameAngleDeg; });
        if (!known)
            seen.push_back(a);
    }
    return static_cast<int>(seen.size());
}

int MaxDistinctEngineOrder(const std::vector<double> &anglesDeg)
{
    if (DistinctAngles(anglesDeg) < 3)
        return 0;
    for (int k = 1; k <= 2 * kLargestEngineOrder + 1; ++k) {
        bool alias = true;
        for (double a : anglesDeg)
            alias = alias && std::fabs(wrapDeg(k * (a - anglesDeg.front()))) < kAliasToleranceDeg;
        if (alias)
            return k / 2;
    }
    return kLargestEngineOrder;
}

EngineOrderScore ScoreEngineOrders(const FitWindow &w, int from, int to, int eoMax)
{
    EngineOrderScore out;
    const auto S = static_cast<Eigen::Index>(w.slots());
    out.rss.assign(static_cast<std::size_t>(std::max(eoMax, 0)), std::numeric_limits<double>::infinity());
    // Samples of a block lie together, in block order.
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    for (std::size_t n = 0; n < w.y.size();) {
        std::size_t e = n;
        while (e < w.y.size() && w.block[e] == w.block[n])
            ++e;
        if (w.block[n] >= from && w.block[n] <= to && e - n >= 3)
            spans.emplace_back(n, e);
        n = e;
    }
    out.blocks = static_cast<int>(spans.size());
    if (spans.empty() || eoMax < 1)
        return out;
    // Per block, with a_i = (cos EO theta_i, sin EO theta_i), G = sum a a^T and
    // g = sum a y: the residual off the pattern is y^T y - g^T G^-1 g, and the
    // offsets enter through M_ij = delta_ij - a_i^T G^-1 a_j.
    Eigen::MatrixXd N(S, S);
    Eigen::VectorXd rhs(S);
    std::vector<double> ca(w.slots()), sa(w.slots());
    for (int eo = 1; eo <= eoMax; ++eo) {
        for (std::size_t k = 0; k < w.slots(); ++k) {
            ca[k] = std::cos(eo * w.thetaRad[k]);
            sa[k] = std::sin(eo * w.thetaRad[k]);
        }
        N.setZero();
        rhs.setZero();
        double C = 0;
        for (const auto &[b, e] : spans) {
            double g00 = 0, g01 = 0, g11 = 0, b0 = 0, b1 = 0, yy = 0;
            for (std::size_t n = b; n < e; ++n) {
                const auto k = static_cast<std::size_t>(w.pair[n]);
                const double y = w.y[n];
                g00 += ca[k] * ca[k];
                g01 += ca[k] * sa[k];
                g11 += sa[k] * sa[k];
                b0 += ca[k] * y;
                b1 += sa[k] * y;
                yy += y * y;
            }
            // Where the pattern's two columns are alike over these probes, a
            // whisper of ridge makes G^-1 the pseudo-inverse (every block
            // must count for every EO, or the order with fewer would win).
            const double ridge = 1e-9 * (g00 + g11);
            g00 += ridge;
            g11 += ridge;
            const double det = g00 * g11 - g01 * g01;
            const double i00 = g11 / det, i01 = -g01 / det, i11 = g00 / det;
            const double u0 = i00 * b0 + i01 * b1, u1 = i01 * b0 + i11 * b1; // G^-1 g
            C += yy - (b0 * u0 + b1 * u1);
            for (std::size_t n = b; n < e; ++n) {
                const auto k = static_cast<std::size_t>(w.pair[n]);
                const auto pk = static_cast<Eigen::Index>(k);
                // (M y)_n
                rhs(pk) += w.y[n] - (ca[k] * u0 + sa[k] * u1);
                const double v0 = i00 * ca[k] + i01 * sa[k], v1 = i01 * ca[k] + i11 * sa[k];
                for (std::size_t m = b; m < e; ++m) {
                    const auto q = static_cast<std::size_t>(w.pair[m]);
                    N(pk, static_cast<Eigen::Index>(q)) += (n == m ? 1.0 : 0.0) - (v0 * ca[q] + v1 * sa[q]);
                }
            }
        }
        N.diagonal().array() += 1e-12 * std::max(1.0, N.diagonal().maxCoeff());
        const Eigen::VectorXd o = N.ldlt().solve(rhs);
        out.rss[static_cast<std::size_t>(eo - 1)] = std::max(0.0, C - rhs.dot(o));
    }
    std::vector<int> order(static_cast<std::size_t>(eoMax));
    for (int i = 0; i < eoMax; ++i)
        order[static_cast<std::size_t>(i)] = i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return out.rss[static_cast<std::size_t>(a)] < out.rss[static_cast<std::size_t>(b)];
    });
    out.best = order[0] + 1;
    if (eoMax > 1) {
        out.runnerUp = order[1] + 1;
        const double second = out.rss[static_cast<std::size_t>(order[1])];
        out.confidence = second > 0 ? 1 - out.rss[static_cast<std::size_t>(order[0])] / second : 0;
    }
    return out;
}

} // namespace vibrolan::identify

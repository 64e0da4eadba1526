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
    Eigen::MatrixXd N(S, S), M, A;
    Eigen::VectorXd rhs(S), yb, My;
    for (int eo = 1; eo <= eoMax; ++eo) {
        N.setZero();
        rhs.setZero();
        double C = 0;
        for (const auto &[b, e] : spans) {
            const auto n = static_cast<Eigen::Index>(e - b);
            A.resize(n, 2);
            yb.resize(n);
            for (Eigen::Index i = 0; i < n; ++i) {
                const double th =
                    eo * w.thetaRad[static_cast<std::size_t>(w.pair[b + static_cast<std::size_t>(i)])];
                A(i, 0) = std::cos(th);
                A(i, 1) = std::sin(th);
                yb(i) = w.y[b + static_cast<std::size_t>(i)];
            }
            // The projector off the pattern's two columns.
            const Eigen::Matrix2d G = A.transpose() * A;
            if (std::fabs(G.determinant()) < 1e-12 * G.trace() * G.trace()) {
                M = Eigen::MatrixXd::Identity(n, n) -
                    A * G.completeOrthogonalDecomposition().pseudoInverse() * A.transpose();
            } else {
                M = Eigen::MatrixXd::Identity(n, n) - A * G.inverse() * A.transpose();
            }
            My = M * yb;
            C += yb.dot(My);
            for (Eigen::Index i = 0; i < n; ++i) {
                const auto pi = w.pair[b + static_cast<std::size_t>(i)];
                rhs(pi) += My(i);
                for (Eigen::Index j = 0; j < n; ++j)
                    N(pi, w.pair[b + static_cast<std::size_t>(j)]) += M(i, j);
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

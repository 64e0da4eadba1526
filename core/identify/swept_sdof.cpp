#include "identify/swept_sdof.hpp"

#include <cmath>
#include <limits>
#include <numbers>

namespace vibrolan::identify {

namespace {
using cplx = std::complex<double>;
constexpr double kTwoPi = 2 * std::numbers::pi;
} // namespace

double OffsetsOnlyRss(const FitWindow &w)
{
    // Per slot: y = a + b u, u the centred speed.
    const std::size_t S = w.slots();
    std::vector<double> n(S), su(S), suu(S), sy(S), suy(S), syy(S);
    for (std::size_t i = 0; i < w.y.size(); ++i) {
        const auto k = static_cast<std::size_t>(w.pair[i]);
        const double u = w.rpm[static_cast<std::size_t>(w.block[i])] - w.centreRpm, y = w.y[i];
        n[k] += 1;
        su[k] += u;
        suu[k] += u * u;
        sy[k] += y;
        suy[k] += u * y;
        syy[k] += y * y;
    }
    double rss = 0;
    for (std::size_t k = 0; k < S; ++k) {
        const double det = n[k] * suu[k] - su[k] * su[k];
        const double vy = syy[k] - sy[k] * sy[k] / n[k];
        const double cuy = suy[k] - su[k] * sy[k] / n[k], vu = det / n[k];
        rss += det > 1e-12 * n[k] * suu[k] ? vy - cuy * cuy / vu : vy;
    }
    return rss;
}

SweptSdof::SweptSdof(const FitWindow &window, int engineOrder, bool swept)
    : w_(window), eo_(engineOrder), swept_(swept), slopes_(window.halfRangeRpm > 1e-9 * window.centreRpm)
{
    const std::size_t S = w_.slots();
    for (std::size_t k = 0; k < S; ++k) {
        rotor_.push_back(std::polar(1.0, eo_ * w_.thetaRad[k]));
        mirror_.push_back(std::conj(rotor_.back()));
        lag_.push_back(std::polar(1.0, -kTwoPi * eo_ * w_.arrival[k]));
    }
    const auto m = static_cast<Eigen::Index>(2 + S * (slopes_ ? 2 : 1));
    normal_.resize(m, m);
    rhs_.resize(m);
    beta_ = Eigen::VectorXd::Zero(m);
    c0_.resize(w_.y.size());
    c1_.resize(w_.y.size());
    resid_.assign(w_.y.size(), 0.0);
}

void SweptSdof::addKnown(const std::vector<double> &c0, const std::vector<double> &c1)
{
    known0_.push_back(c0);
    known1_.push_back(c1);
    const auto m = normal_.rows() + 2;
    normal_.resize(m, m);
    rhs_.resize(m);
    beta_ = Eigen::VectorXd::Zero(m);
}

double SweptSdof::evaluate(double omega, double zeta)
{
    omega_ = omega;
    zeta_ = zeta;
    const std::size_t J = w_.blocks(), S = w_.slots(), N = w_.y.size();
    const double wd = omega * std::sqrt(1 - zeta * zeta), c = omega * omega / wd;
    const cplx s(-zeta * omega, wd);
    vstar_.resize(J);
    bp_.resize(J);
    state_.resize(J);
    for (std::size_t j = 0; j < J; ++j) {
        const double oe = kTwoPi * eo_ * w_.rpm[j] / 60.0;
        vstar_[j] = 1.0 / (cplx(0, oe) - s);
        bp_[j] = 1.0 / (cplx(0, -oe) - s);
        if (!swept_ || j == 0)
            state_[j] = vstar_[j];
        else
            state_[j] = vstar_[j - 1] + std::exp(s * w_.dt[j - 1]) * (state_[j - 1] - vstar_[j - 1]);
    }
    const auto m = normal_.rows();
    normal_.setZero();
    rhs_.setZero();
    const double scale = slopes_ ? 1.0 / w_.halfRangeRpm : 0.0;
    for (std::size_t n = 0; n < N; ++n) {
        const auto j = static_cast<std::size_t>(w_.block[n]);
        const auto k = static_cast<std::size_t>(w_.pair[n]);
        cplx W = vstar_[j];
        if (swept_) {
            const double tau = (w_.mid[j] + w_.arrival[k]) * w_.period[j];
            W += std::exp(s * tau) * lag_[k] * (state_[j] - vstar_[j]);
        }
        const cplx A = rotor_[k] * W, B = mirror_[k] * bp_[j];
        const double a0 = c * (A.imag() + B.imag()), a1 = c * (A.real() - B.real());
        c0_[n] = a0;
        c1_[n] = a1;
        const double u = (w_.rpm[j] - w_.centreRpm) * scale;
        const Eigen::Index io = offsetIndex(k);
        const Eigen::Index is = io + static_cast<Eigen::Index>(S);
        const double yv = w_.y[n];
        for (std::size_t q = 0; q < known0_.size(); ++q) {
            const auto iq = static_cast<Eigen::Index>(2 + 2 * q);
            const double k0 = known0_[q][n], k1 = known1_[q][n];
            normal_(0, iq) += a0 * k0;
            normal_(0, iq + 1) += a0 * k1;
            normal_(1, iq) += a1 * k0;
            normal_(1, iq + 1) += a1 * k1;
            for (std::size_t q2 = q; q2 < known0_.size(); ++q2) {
                const auto iq2 = static_cast<Eigen::Index>(2 + 2 * q2);
                const double l0 = known0_[q2][n], l1 = known1_[q2][n];
                normal_(iq, iq2) += k0 * l0;
                normal_(iq, iq2 + 1) += k0 * l1;
                if (q2 > q)
                    normal_(iq + 1, iq2) += k1 * l0;
                normal_(iq + 1, iq2 + 1) += k1 * l1;
            }
            normal_(iq, io) += k0;
            normal_(iq + 1, io) += k1;
            rhs_(iq) += k0 * yv;
            rhs_(iq + 1) += k1 * yv;
            if (slopes_) {
                normal_(iq, is) += k0 * u;
                normal_(iq + 1, is) += k1 * u;
            }
        }
        normal_(0, 0) += a0 * a0;
        normal_(0, 1) += a0 * a1;
        normal_(1, 1) += a1 * a1;
        normal_(0, io) += a0;
        normal_(1, io) += a1;
        normal_(io, io) += 1;
        rhs_(0) += a0 * yv;
        rhs_(1) += a1 * yv;
        rhs_(io) += yv;
        if (slopes_) {
            normal_(0, is) += a0 * u;
            normal_(1, is) += a1 * u;
            normal_(io, is) += u;
            normal_(is, is) += u * u;
            rhs_(is) += u * yv;
        }
    }
    // Only the upper triangle was summed.
    for (Eigen::Index i = 0; i < m; ++i)
        for (Eigen::Index j = i + 1; j < m; ++j)
            normal_(j, i) = normal_(i, j);
    // A whisper of ridge keeps a slot whose slope is not determined solvable.
    const double ridge = 1e-12 * normal_.diagonal().cwiseAbs().maxCoeff();
    normal_.diagonal().array() += ridge;
    const Eigen::LDLT<Eigen::MatrixXd> ldlt(normal_);
    if (ldlt.info() != Eigen::Success)
        return std::numeric_limits<double>::infinity();
    beta_ = ldlt.solve(rhs_);
    if (!beta_.allFinite())
        return std::numeric_limits<double>::infinity();
    double rss = 0;
    for (std::size_t n = 0; n < N; ++n) {
        const auto j = static_cast<std::size_t>(w_.block[n]);
        const auto k = w_.pair[n];
        double v = c0_[n] * beta_(0) + c1_[n] * beta_(1) + beta_(offsetIndex(static_cast<std::size_t>(k)));
        for (std::size_t q = 0; q < known0_.size(); ++q)
            v += known0_[q][n] * beta_(static_cast<Eigen::Index>(2 + 2 * q)) +
                 known1_[q][n] * beta_(static_cast<Eigen::Index>(3 + 2 * q));
        if (slopes_)
            v += beta_(slopeIndex(static_cast<std::size_t>(k))) * (w_.rpm[j] - w_.centreRpm) * scale;
        resid_[n] = w_.y[n] - v;
        rss += resid_[n] * resid_[n];
    }
    return rss;
}

std::vector<double> SweptSdof::modelValues() const
{
    std::vector<double> v(w_.y.size());
    for (std::size_t n = 0; n < v.size(); ++n)
        v[n] = w_.y[n] - resid_[n];
    return v;
}

std::vector<double> SweptSdof::envelope() const
{
    const std::size_t J = w_.blocks();
    const double wd = omega_ * std::sqrt(1 - zeta_ * zeta_), c = omega_ * omega_ / wd;
    const cplx s(-zeta_ * omega_, wd);
    const cplx G(beta_(0), beta_(1));
    std::vector<double> env(J);
    for (std::size_t j = 0; j < J; ++j) {
        cplx W = vstar_[j];
        if (swept_)
            W += std::exp(s * (w_.mid[j] * w_.period[j])) * (state_[j] - vstar_[j]);
        env[j] = c * std::abs(G) * std::abs(W - std::conj(bp_[j]));
    }
    return env;
}

} // namespace vibrolan::identify

#include "iir/prototype.hpp"

#include "frame/runtime.hpp"
#include "iir/elliptic_functions.hpp"

#include <numbers>

namespace sigmath::iir {
namespace {

constexpr double kPi = std::numbers::pi;

// sinh and cosh of mu from e^mu = ((1 + sqrt(1 + e^2)) / e)^(1/N).
void chebyshev_mu(double eps, int32_t order, double &sh, double &ch)
{
    const double emu = rt::pow((1.0 + rt::sqrt(1.0 + eps * eps)) / eps, 1.0 / order);
    sh = 0.5 * (emu - 1.0 / emu);
    ch = 0.5 * (emu + 1.0 / emu);
}

double pole_angle(int64_t i, int32_t order)
{
    return 0.5 * (kPi + kPi / order) + static_cast<double>(i) * kPi / order;
}

AnalogSection first_order(double num0, double den0)
{
    AnalogSection s;
    s.degree = 1;
    s.num[0] = num0;
    s.den[0] = den0;
    s.den[1] = 1.0;
    return s;
}

AnalogSection second_order(double gain, double zero_sq, bool has_zeros, double den1, double den0)
{
    AnalogSection s;
    s.num[0] = gain * (has_zeros ? zero_sq : 1.0);
    s.num[2] = has_zeros ? gain : 0.0;
    s.den[0] = den0;
    s.den[1] = den1;
    s.den[2] = 1.0;
    return s;
}

} // namespace

Prototype::Prototype(const PrototypeSpec &spec) : family_(spec.family), type_(spec.type), order_(spec.order)
{
    switch (family_) {
    case Family::Chebyshev: {
        const double eps = rt::sqrt(rt::pow(10.0, spec.ripple / 10.0) - 1.0);
        chebyshev_mu(eps, order_, sh_, ch_);
        even_gain_ = 1.0 / rt::sqrt(1.0 + eps * eps);
        break;
    }
    case Family::InverseChebyshev: {
        const double eps_s = 1.0 / rt::sqrt(rt::pow(10.0, spec.attenuation / 10.0) - 1.0);
        chebyshev_mu(eps_s, order_, sh_, ch_);
        break;
    }
    case Family::Elliptic: {
        const double eps = rt::sqrt(rt::pow(10.0, spec.ripple / 10.0) - 1.0);
        const double eps_s = rt::sqrt(rt::pow(10.0, spec.attenuation / 10.0) - 1.0);
        const double k1 = eps / eps_s;
        const double k1c = rt::sqrt(1.0 - k1 * k1);
        k_ = selectivity_modulus(order_, k1, k1c);
        kc_ = rt::sqrt(1.0 - k_ * k_);
        kk_ = complete_k(kc_);
        const double v0 = kk_ / (order_ * complete_k(k1c)) * incomplete_f_arctan(1.0 / eps, k1);
        const JacobiValues j0 = jacobi(v0, kc_, k_);
        s0_ = j0.sn;
        c0_ = j0.cn;
        d0_ = j0.dn;
        even_gain_ = 1.0 / rt::sqrt(1.0 + eps * eps);
        break;
    }
    case Family::Butterworth:
    case Family::Bessel:
        break;
    }
}

int64_t Prototype::scaled_section() const
{
    if (order_ % 2 != 0)
        return -1;
    if (family_ == Family::Elliptic)
        return 0;
    if (family_ == Family::Chebyshev)
        return (type_ == kBandpass || type_ == kBandstop) ? sections() - 1 : 0;
    return -1;
}

AnalogSection Prototype::section(int64_t index) const
{
    const bool odd = order_ % 2 != 0;
    AnalogSection s = (odd && index == 0) ? real_pole() : pair(odd ? index - 1 : index);
    if (index == scaled_section()) {
        for (double &c : s.num)
            c *= even_gain_;
    }
    return s;
}

AnalogSection Prototype::real_pole() const
{
    switch (family_) {
    case Family::Chebyshev:
        // A first-order band design uses the Butterworth pole at -1.
        if (order_ == 1 && (type_ == kBandpass || type_ == kBandstop))
            return first_order(1.0, 1.0);
        return first_order(sh_, sh_);
    case Family::InverseChebyshev:
        return first_order(1.0 / sh_, 1.0 / sh_);
    case Family::Elliptic: {
        const double sigma0 = s0_ * c0_ / (1.0 - s0_ * s0_);
        return first_order(sigma0, sigma0);
    }
    case Family::Butterworth:
    case Family::Bessel:
        break;
    }
    return first_order(1.0, 1.0);
}

AnalogSection Prototype::pair(int64_t i) const
{
    const double theta = pole_angle(i, order_);
    switch (family_) {
    case Family::Butterworth:
        return second_order(1.0, 0.0, false, -2.0 * rt::cos(theta), 1.0);
    case Family::Bessel: {
        const double c = 1.0 - static_cast<double>(2 * i + 1) / order_;
        return second_order(1.0, 0.0, false, 2.0 * rt::sqrt(1.0 - c * c), 1.0);
    }
    case Family::Chebyshev: {
        const double ct = rt::cos(theta), st = rt::sin(theta);
        const double rho = sh_ * sh_ * ct * ct + ch_ * ch_ * st * st;
        return second_order(rho, 0.0, false, -2.0 * sh_ * ct, rho);
    }
    case Family::InverseChebyshev: {
        const double ct = rt::cos(theta), st = rt::sin(theta);
        const double rho = sh_ * sh_ * ct * ct + ch_ * ch_ * st * st;
        const int64_t k = (order_ % 2 == 0 ? 1 : 2) + 2 * i;
        const double z = 1.0 / rt::sin(static_cast<double>(k) * kPi / (2.0 * order_));
        return second_order(1.0 / (rho * z * z), z * z, true, -2.0 * sh_ * ct / rho, 1.0 / rho);
    }
    case Family::Elliptic: {
        const int64_t j = (order_ % 2 == 0 ? 1 : 2) + 2 * i;
        const JacobiValues v = jacobi(static_cast<double>(j) * kk_ / order_, k_, kc_);
        const double z = 1.0 / (k_ * v.sn);
        const double denom = 1.0 - v.dn * v.dn * s0_ * s0_;
        const double sigma = v.cn * v.dn * s0_ * c0_ / denom;
        const double omega = v.sn * d0_ / denom;
        const double w0 = sigma * sigma + omega * omega;
        return second_order(w0 / (z * z), z * z, true, 2.0 * sigma, w0);
    }
    }
    return second_order(1.0, 0.0, false, 1.0, 1.0);
}

} // namespace sigmath::iir

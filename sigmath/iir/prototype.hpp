// Normalised analog lowpass prototypes (edge at 1 rad/s), one section at a
// time, in cascade order: the real-pole section first for odd orders, then
// the pole pairs i = 0, 1, ...
#pragma once

#include <cstdint>

namespace sigmath::iir {

enum class Family { Butterworth, Chebyshev, InverseChebyshev, Elliptic, Bessel };

// Filter type codes of the public interface.
enum FilterType : int32_t { kLowpass = 0, kHighpass = 1, kBandpass = 2, kBandstop = 3 };

// num(s) / den(s) with coefficients of s^0, s^1, s^2; degree 1 or 2.
struct AnalogSection {
    int degree = 2;
    double num[3] = {0, 0, 0};
    double den[3] = {0, 0, 0};
};

struct PrototypeSpec {
    Family family = Family::Butterworth;
    int32_t type = kLowpass;
    int32_t order = 1;
    double ripple = 0;      // dB, Chebyshev and elliptic
    double attenuation = 0; // dB, inverse Chebyshev and elliptic
};

class Prototype {
public:
    explicit Prototype(const PrototypeSpec &spec);
    int64_t sections() const { return (static_cast<int64_t>(order_) + 1) / 2; }
    AnalogSection section(int64_t index) const;

private:
    AnalogSection real_pole() const;
    AnalogSection pair(int64_t i) const;
    // Which section carries the 1/sqrt(1 + eps^2) factor of even orders (-1: none).
    int64_t scaled_section() const;

    Family family_;
    int32_t type_;
    int32_t order_;
    double sh_ = 0, ch_ = 0;          // sinh and cosh of mu (Chebyshev kinds)
    double even_gain_ = 1.0;          // 1/sqrt(1 + eps^2)
    double k_ = 0, kc_ = 0, kk_ = 0;  // elliptic selectivity modulus, complement, K(k)
    double s0_ = 0, c0_ = 0, d0_ = 0; // sn, cn, dn(v0, k')
};

} // namespace sigmath::iir

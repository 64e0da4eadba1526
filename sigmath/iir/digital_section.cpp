#include "iir/digital_section.hpp"

#include "frame/runtime.hpp"

#include <numbers>

namespace sigmath::iir {
namespace {

// Polynomials in one variable, lowest power first, degree <= 4.
struct Poly {
    int degree = 0;
    double c[5] = {0, 0, 0, 0, 0};
};

Poly multiply(const Poly &x, const Poly &y)
{
    Poly r;
    r.degree = x.degree + y.degree;
    for (int i = 0; i <= x.degree; ++i)
        for (int j = 0; j <= y.degree; ++j)
            r.c[i + j] += x.c[i] * y.c[j];
    return r;
}

Poly power(const Poly &x, int n)
{
    Poly r;
    r.c[0] = 1.0;
    for (int i = 0; i < n; ++i)
        r = multiply(r, x);
    return r;
}

// sum_i coef[i] * p^i * q^(degree - i): the section polynomial after s -> p/q,
// cleared of the common denominator q^degree.
Poly substitute(const double *coef, int degree, const Poly &p, const Poly &q)
{
    Poly r;
    for (int i = 0; i <= degree; ++i) {
        const Poly term = multiply(power(p, i), power(q, degree - i));
        r.degree = term.degree > r.degree ? term.degree : r.degree;
        for (int m = 0; m <= term.degree; ++m)
            r.c[m] += coef[i] * term.c[m];
    }
    return r;
}

Poly make(std::initializer_list<double> c)
{
    Poly r;
    int i = 0;
    for (double v : c)
        r.c[i++] = v;
    r.degree = i - 1;
    return r;
}

} // namespace

Warp prewarp(int32_t type, double fs, double fl, double fh)
{
    Warp w;
    w.type = type;
    const double wl = rt::tan(std::numbers::pi * fl / fs);
    if (type == kLowpass || type == kHighpass) {
        w.omega = wl;
    } else {
        const double wh = rt::tan(std::numbers::pi * fh / fs);
        w.p = wl * wh;
        w.b = wh - wl;
    }
    return w;
}

DigitalSection to_digital(const AnalogSection &section, const Warp &warp)
{
    Poly p, q;
    switch (warp.type) {
    case kLowpass:
        p = make({0.0, 1.0}), q = make({warp.omega});
        break;
    case kHighpass:
        p = make({warp.omega}), q = make({0.0, 1.0});
        break;
    case kBandpass:
        p = make({warp.p, 0.0, 1.0}), q = make({0.0, warp.b});
        break;
    default:
        p = make({0.0, warp.b}), q = make({warp.p, 0.0, 1.0});
        break;
    }
    const bool band = warp.type == kBandpass || warp.type == kBandstop;
    const int digital_degree = band ? 2 * section.degree : section.degree;
    Poly num = substitute(section.num, section.degree, p, q);
    Poly den = substitute(section.den, section.degree, p, q);

    // Bilinear transform: s^m -> (1 - z^-1)^m (1 + z^-1)^(D - m), polynomials in z^-1.
    const Poly minus = make({1.0, -1.0});
    const Poly plus = make({1.0, 1.0});
    Poly zn, zd;
    zn.degree = zd.degree = digital_degree;
    for (int m = 0; m <= digital_degree; ++m) {
        const Poly basis = multiply(power(minus, m), power(plus, digital_degree - m));
        for (int t = 0; t <= digital_degree; ++t) {
            zn.c[t] += (m <= num.degree ? num.c[m] : 0.0) * basis.c[t];
            zd.c[t] += (m <= den.degree ? den.c[m] : 0.0) * basis.c[t];
        }
    }

    DigitalSection d;
    d.width = band ? 4 : 2;
    const double norm = zd.c[0];
    for (int t = 0; t <= digital_degree; ++t) {
        d.b[t] = zn.c[t] / norm;
        if (t > 0)
            d.a[t - 1] = zd.c[t] / norm;
    }
    return d;
}

} // namespace sigmath::iir

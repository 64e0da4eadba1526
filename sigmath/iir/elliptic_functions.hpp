// Elliptic integrals and Jacobi functions used by the elliptic design. Each
// takes the modulus together with its complement, so that a modulus close to
// 1 keeps full precision in the complement instead of losing it in 1 - m^2.
#pragma once

namespace sigmath::iir {

// Complete integral of the first kind K(m) = pi / (2 AGM(1, mc)), mc = sqrt(1 - m^2).
double complete_k(double mc);

// Incomplete integral F(arctan x, m) by Bulirsch's descending Landen iteration;
// mc = sqrt(1 - m^2).
double incomplete_f_arctan(double x, double mc);

struct JacobiValues {
    double sn;
    double cn;
    double dn;
};

// sn, cn, dn(u, m) by the descending AGM; mc = sqrt(1 - m^2).
JacobiValues jacobi(double u, double m, double mc);

// Selectivity modulus from the degree equation for order n and discrimination k1.
double selectivity_modulus(int n, double k1, double k1c);

} // namespace sigmath::iir

// Frequency responses computed in the tests straight from coefficients, so
// that a design is judged by what it does, not by earlier output of ours.
#pragma once

#include "sigmath/iir.h"

#include <cmath>
#include <complex>
#include <memory>
#include <numbers>
#include <vector>

namespace iir_test {

using cplx = std::complex<double>;

// sum c[m] z^-m at z = e^{j w}
inline cplx poly_at(const double *c, int count, double w)
{
    cplx acc = 0;
    for (int m = 0; m < count; ++m)
        acc += c[m] * std::polar(1.0, -w * m);
    return acc;
}

// H of a cascade structure at frequency f (sampling frequency fs).
inline cplx cascade_response(const IIRFilterInfo &f, double freq, double fs)
{
    const int ns = (f.order + 1) / 2;
    const int k = f.na / ns;
    const double w = 2 * std::numbers::pi * freq / fs;
    cplx h = 1;
    for (int j = 0; j < ns; ++j) {
        std::vector<double> den(k + 1, 1.0);
        for (int m = 0; m < k; ++m)
            den[m + 1] = f.a[k * j + m];
        h *= poly_at(f.b + (k + 1) * j, k + 1, w) / poly_at(den.data(), k + 1, w);
    }
    return h;
}

inline double db(cplx h) { return 20 * std::log10(std::abs(h)); }

struct FilterDeleter {
    void operator()(IIRFilterInfo *f) const { FreeIIRFilterPtr(f); }
};
using FilterPtr = std::unique_ptr<IIRFilterInfo, FilterDeleter>;

inline FilterPtr make_filter(int type, int order) { return FilterPtr(AllocIIRFilterPtr(type, order)); }

} // namespace iir_test

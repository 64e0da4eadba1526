// Reference transforms computed the slow, obvious way in the tests.
#pragma once

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

namespace dft_test {

using cplx = std::complex<double>;

inline std::vector<cplx> dft(const std::vector<cplx> &x)
{
    const size_t n = x.size();
    std::vector<cplx> out(n);
    for (size_t k = 0; k < n; ++k) {
        cplx acc = 0;
        for (size_t m = 0; m < n; ++m)
            acc += x[m] * std::polar(1.0, -2 * std::numbers::pi * static_cast<double>((m * k) % n) / n);
        out[k] = acc;
    }
    return out;
}

inline std::vector<cplx> dft(const std::vector<double> &x)
{
    return dft(std::vector<cplx>(x.begin(), x.end()));
}

inline std::vector<double> random_signal(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> d(-2.385, 3.17);
    std::vector<double> x(n);
    for (double &v : x)
        v = d(gen);
    return x;
}

} // namespace dft_test

#include "transforms/cross_work.hpp"

#include <algorithm>

namespace sigmath::fft {

bool PairSpectra::init(std::size_t m)
{
    m_ = m;
    z_ = rt::Buffer<double>(2 * m);
    return z_.ok() && tw_.build(m);
}

void PairSpectra::transform(const double *x, const double *y, std::size_t n)
{
    double *zr = z_.data(), *zi = zr + m_;
    std::copy(x, x + n, zr);
    std::copy(y, y + n, zi);
    std::fill(zr + n, zr + m_, 0.0);
    std::fill(zi + n, zi + m_, 0.0);
    complex_forward(zr, zi, m_, tw_);
}

std::complex<double> PairSpectra::x_bin(std::size_t k) const
{
    const double *zr = z_.data(), *zi = zr + m_;
    const std::size_t r = (m_ - k) & (m_ - 1);
    return {0.5 * (zr[k] + zr[r]), 0.5 * (zi[k] - zi[r])};
}

std::complex<double> PairSpectra::y_bin(std::size_t k) const
{
    const double *zr = z_.data(), *zi = zr + m_;
    const std::size_t r = (m_ - k) & (m_ - 1);
    return {0.5 * (zi[k] + zi[r]), -0.5 * (zr[k] - zr[r])};
}

} // namespace sigmath::fft

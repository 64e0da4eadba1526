// Spectra of two real signals from one complex transform of z = x + j y:
// X[k] = (Z[k] + conj Z[m-k]) / 2 and Y[k] = (Z[k] - conj Z[m-k]) / 2j.
#pragma once

#include "transforms/fft_core.hpp"

#include <complex>

namespace sigmath::fft {

class PairSpectra {
public:
    // Buffers for length m; false when memory is exhausted.
    bool init(std::size_t m);
    // Transforms x and y (n samples each, zero-padded to m).
    void transform(const double *x, const double *y, std::size_t n);
    std::complex<double> x_bin(std::size_t k) const;
    std::complex<double> y_bin(std::size_t k) const;
    std::size_t size() const { return m_; }

private:
    std::size_t m_ = 0;
    Twiddles tw_;
    rt::Buffer<double> z_;
};

} // namespace sigmath::fft

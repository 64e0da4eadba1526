// Complex and real fast Fourier transform kernels shared by the transforms
// and spectra. Forward convention X[k] = sum x[m] e^{-j 2 pi m k / n}, no
// scaling. Lengths are powers of two; every routine here runs in place.
#pragma once

#include "frame/runtime.hpp"

#include <cstddef>
#include <cstdint>

namespace sigmath::fft {

bool is_power_of_two(int64_t n);

// cos and sin of 2 pi k / size for k < size/4, as (cos, sin) pairs. A complex
// transform of length L <= size reads it with stride size/L.
class Twiddles {
public:
    // false when the table cannot be allocated
    bool build(std::size_t size);
    std::size_t size() const { return size_; }
    const double *pairs() const { return table_.data(); }

private:
    rt::Buffer<double> table_;
    std::size_t size_ = 0;
};

// Forward complex transform of (re, im), length n (power of two, n <= tw.size()
// or n <= 4). Split-radix decimation in frequency, then bit reversal.
void complex_forward(double *re, double *im, std::size_t n, const Twiddles &tw);

// Working memory of the real transforms of length n: the twiddle table of
// length n and n doubles of scratch. Obtained before any output is written.
struct RealWork {
    Twiddles tw;
    rt::Buffer<double> scratch;
    bool init(std::size_t n, bool with_scratch = true);
};

// Packed real transform of x in place: x[k] = Re X[k] (k = 0..n/2),
// x[n-k] = Im X[k] (k = 1..n/2-1).
void real_forward_packed(double *x, std::size_t n, RealWork &work);

// Real transform of x into all n bins: x = Re X, y = Im X (y serves as scratch,
// so only the twiddle table of `work` is used).
void real_forward_full(double *x, double *y, std::size_t n, const Twiddles &tw);

// Hartley transform in place (unscaled).
void hartley(double *x, std::size_t n, RealWork &work);

// Real signal from a packed Hermitian spectrum, in place (includes the 1/n).
void real_inverse_packed(double *x, std::size_t n, RealWork &work);

} // namespace sigmath::fft

// The revolution-domain spectra asynchronous detection works on: a stage's
// grid of revolutions cut into windows of W revolutions, and one pair's
// samples of one blade in one window prepared for a transform (mean and
// slope removed, missing revolutions zero, a Hann taper).
//
// Each blade is sampled once per revolution at each pair, so in the
// revolution domain a vibration of rotating-frame order nu (frequency over
// shaft frequency) shows at the alias frequency frac(nu) cycles per
// revolution; synchronous response and the slow drift of the static
// deflection stay near 0 and are left out of the detection (bins below
// kLowestBin).
#pragma once

#include "identify/stage_samples.hpp"

#include <complex>
#include <vector>

namespace vibrolan::identify {

// Bins 0 ... kLowestBin - 1 (alias frequencies below kLowestBin / W cycles
// per revolution) hold what is left of the synchronous response.
inline constexpr int kLowestBin = 3;

struct AsyncWindows {
    int size = 0;                 // W, revolutions (a power of two)
    std::vector<long> revolution; // per grid revolution: its number since the grid's first
    std::vector<int> from, to;    // per window: grid revolutions [from, to)
    std::vector<long> first;      // per window: revolution number of its first slot
    std::vector<double> timeFrom, timeTo, rpm;
    std::vector<double> taper; // the W weights of the Hann taper
    double taperSum = 0;
    std::size_t count() const { return from.size(); }
};

// Windows of `size` revolutions over the whole grid (the tail that does not
// fill a window is left out).
AsyncWindows MakeAsyncWindows(const StageSamples &st, int size);

// One pair's samples (slot k of P) of one blade (y as BladeDeflection gives
// it) in window j, into x (W values): the present samples minus their line,
// zero where missing, times the taper. Returns the number of samples present
// and their sum of squares after the line (in `sumSq`); a series with fewer
// than three quarters of the window present is not prepared (returns 0).
// With `firstRow`, y holds the grid revolutions from that one on (as the
// ranged BladeDeflection gives them).
int PrepareSeries(const AsyncWindows &w, const std::vector<double> &y, std::size_t P, std::size_t k,
                  std::size_t j, std::vector<double> &x, double &sumSq, std::size_t firstRow = 0);

// Power |X_i|^2 of the W-point transform of x, bins 0 ... W/2, added to `power`.
class RevolutionSpectrum {
public:
    explicit RevolutionSpectrum(int size);
    void addPower(const std::vector<double> &x, double *power);
    // The same for two series at once (one complex transform of a + i b).
    void addPowers(const std::vector<double> &a, const std::vector<double> &b, double *powerA,
                   double *powerB);

private:
    int n_;
    std::vector<std::complex<double>> twiddle_, work_;
    std::vector<int> reverse_;
    void transform(); // work_ in bit-reversed order to its transform
};

// sum_r x_r exp(-2 pi i alpha r): the transform at one alias frequency.
std::complex<double> TransformAt(const std::vector<double> &x, double alpha);
// The same with step = exp(-2 pi i alpha) given (one for many series).
std::complex<double> TransformAt(const std::vector<double> &x, std::complex<double> step);

} // namespace vibrolan::identify

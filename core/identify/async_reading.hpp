// One detected window's reading of the asynchronous analysis (the
// driver fills it, the segments are made of it) and how a rotating-frame
// reading turns into the stationary frame.
#pragma once

#include <complex>
#include <cstddef>
#include <map>
#include <vector>

namespace vibrolan::identify {

// One detected window's reading.
struct AsyncReading {
    std::size_t window = 0;
    double alpha = 0; // alias frequency, cycles per revolution
    double F = 0, threshold = 0;
    double noise = 0;                    // bin noise power per series
    double nu = 0;                       // best signed order (rotating frame)
    int m = 0;                           // nu = m + alpha
    std::map<int, double> margin;        // per alias offset e: 2 log-likelihood ratio of nu over nu + e
    std::vector<std::complex<double>> C; // per blade, complex amplitude (rotor frame, |f_r|)
    std::vector<double> bladeNoise;      // per blade, the amplitude noise alone gives
    double fr = 0, fs = 0;               // |f_r|, stationary (Hz)
    int nd = 0;                          // casing frame
    int pattern = 0;                     // the blades' spatial harmonic at |f_r|
    double coherence = 0;
    double explained = 0, total = 0;
    bool searched = false; // the order search ran
};

// Stationary frequency and casing-frame nodal diameter from the rotating
// order (signed) and the blades' pattern.
inline void ToStationary(double fr, int n, double shaftHz, double &fs, int &nd)
{
    fs = fr + n * shaftHz;
    nd = n;
    if (fs < 0) {
        fs = -fs;
        nd = -n;
    }
}

} // namespace vibrolan::identify

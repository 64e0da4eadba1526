// A small deterministic random source (splitmix64) so that the same scenario
// and seed give the same files on every platform and standard library.
#pragma once

#include <cmath>
#include <cstdint>

namespace vibrolan::sim {

class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    // Independent stream for a purpose: mixes the seed with a stream number.
    Rng(std::uint64_t seed, std::uint64_t stream) : state_(seed ^ (stream * 0xD1B54A32D192ED03ULL + 0x9E37))
    {
        next();
    }

    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    // Uniform in [-1, 1).
    double symmetric() { return 2.0 * uniform() - 1.0; }
    // Standard normal (Box-Muller, one value per call).
    double normal()
    {
        const double u1 = 1.0 - uniform(); // (0, 1]
        const double u2 = uniform();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }
    // Exponential waiting time with the given mean.
    double exponential(double mean) { return -mean * std::log(1.0 - uniform()); }

private:
    std::uint64_t state_;
};

} // namespace vibrolan::sim

// The one pseudo-random generator shared by Uniform, WhiteNoise and
// GaussNoise for the whole process: three small multiplicative congruential
// generators whose normalised sum, taken modulo 1, gives 15-bit draws.
#pragma once

#include <cstdint>

namespace sigmath::noise {

// A seed >= 0 restarts the sequence (0 stands for 32767); a negative seed
// continues from the current state.
void seed(int32_t seed);

// Next draw, 0 ... 32767.
int32_t draw();

} // namespace sigmath::noise

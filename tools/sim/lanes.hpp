// Arithmetic on groups of doubles side by side. The simulator's kernels work
// on kLanes values at a time as GCC vectors, built for several vector widths
// and chosen by the machine at run time; no operation is contracted or
// reordered, so every width gives the same bits.
#pragma once

#include "sim/target_clones.hpp"

#include <cstddef>

namespace vibrolan::sim {

inline constexpr std::size_t kLanes = 8;
using Lanes = double __attribute__((vector_size(kLanes * sizeof(double))));

// x[i] /= by for i < n, each division as the scalar one.
void divideAll(double *x, std::size_t n, double by);

} // namespace vibrolan::sim

// Kernels compiled for several vector widths, the machine choosing at load
// time (an ifunc resolver). Builds that cannot load ifunc resolvers (the
// thread sanitizer's) define VIBROLAN_NO_TARGET_CLONES (CMake option
// VIBROLAN_TARGET_CLONES=OFF) and get the default width only; the results are
// the same bits either way (no contraction, see tools/CMakeLists.txt).
#pragma once

#if defined(VIBROLAN_NO_TARGET_CLONES)
#define VIBROLAN_TARGET_CLONES
#else
#define VIBROLAN_TARGET_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#endif

// Argument tests of the IIR routines. Each routine lists its tests in its own
// order; the first failing test decides the status, and nothing is written
// before all of them have passed.
#pragma once

#include "sigmath/iir.h"

#include <cstdint>
#include <initializer_list>

namespace sigmath::iir {

enum class Test {
    Count,                 // n < 1, or a null data array -> -20003
    Order,                 // order < 1 -> -20021
    Fl,                    // fl <= 0 or not finite -> -20023
    Fh,                    // fh <= 0 or not finite -> -20023 (band designs only in one-shot filters)
    Fs,                    // fs <= 0 or not finite -> -20023
    FlBelowFh,             // fl >= fh -> -20023 (every design that has an fh)
    Nyquist,               // an edge above fs/2 -> -20020
    Ripple,                // ripple <= 0 or not finite -> -20024
    Attenuation,           // attenuation <= 0 or not finite -> -20025
    AttenuationOverRipple, // attenuation <= ripple -> -20028
    Capacity,              // structure arrays too short or inconsistent -> -20066
    ArraySizes,            // direct-form arrays below M, or null -> -20008
    Type,                  // type outside 0..3 -> -20061
};

struct Arguments {
    int64_t n = 1;
    int32_t type = 0;
    int32_t order = 1;
    double fs = 0, fl = 0, fh = 0;
    bool has_fh = true; // false: a lowpass/highpass one-shot filter (one edge)
    double ripple = 0, attenuation = 0;
    const IIRFilterInfo *filter = nullptr;
    const double *a = nullptr;
    int32_t na = 0;
    const double *b = nullptr;
    int32_t nb = 0;
    const double *x = nullptr;
    const double *y = nullptr;
};

int32_t validate(const Arguments &args, std::initializer_list<Test> tests);

bool valid_type(int32_t type);
// Section width k, sections ns and direct-form length M of a valid type and order.
int32_t section_width(int32_t type);
int64_t section_count(int32_t order);
int64_t direct_length(int32_t type, int32_t order);

// Lowpass and highpass designers ignore fh: it becomes (fs/2 + fl)/2 before the tests.
double effective_fh(int32_t type, double fs, double fl, double fh);

} // namespace sigmath::iir

// Frequency transformation of a prototype section (lowpass, highpass,
// bandpass or bandstop, with prewarped edges) followed by the bilinear
// transform s -> (1 - z^-1)/(1 + z^-1).
#pragma once

#include "iir/prototype.hpp"

namespace sigmath::iir {

// Stored form of one cascade section: width 2 (a1, a2; b0..b2) or 4 (a1..a4; b0..b4).
struct DigitalSection {
    int width = 2;
    double a[4] = {0, 0, 0, 0};
    double b[5] = {0, 0, 0, 0, 0};
};

// Prewarped edges of a design, from fs and the band edges.
struct Warp {
    int32_t type = kLowpass;
    double omega = 0; // lowpass / highpass edge
    double p = 0;     // bandpass / bandstop: omega_l * omega_h
    double b = 0;     // bandpass / bandstop: omega_h - omega_l
};

Warp prewarp(int32_t type, double fs, double fl, double fh);

DigitalSection to_digital(const AnalogSection &section, const Warp &warp);

} // namespace sigmath::iir

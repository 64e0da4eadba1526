// One digital IIR design (validated arguments in, cascade sections out),
// shared by the cascade, direct-form and one-shot routines so that the three
// forms always describe the same filter.
#pragma once

#include "iir/digital_section.hpp"
#include "iir/prototype.hpp"

namespace sigmath::iir {

struct DesignRequest {
    Family family = Family::Butterworth;
    int32_t type = kLowpass;
    int32_t order = 1;
    double fs = 1, fl = 0, fh = 0;
    double ripple = 0, attenuation = 0;
};

class Design {
public:
    explicit Design(const DesignRequest &request);
    int64_t sections() const { return prototype_.sections(); }
    DigitalSection section(int64_t index) const { return to_digital(prototype_.section(index), warp_); }

private:
    Prototype prototype_;
    Warp warp_;
};

} // namespace sigmath::iir

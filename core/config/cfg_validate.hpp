// The numbers of a configuration checked before a run: a diameter of 0, a
// negative one, NaN or infinity in any field the run computes with would
// otherwise run to reports of zeros, NAN or INF.
#pragma once

#include "config/cfg_dfm.hpp"

namespace vibrolan {

// Throws ValueError naming the stage (and pair) and the field, with the value
// found, for the first field that is not a finite number or, where the field
// is a physical size, not positive. Only the configured stages and their
// checked pairs are looked at.
void CheckNumericFields(const TCfgDfm &cfg);

} // namespace vibrolan

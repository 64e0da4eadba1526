// Numbers in the fixed formats of the read-outs and messages, with the
// regional decimal separator handed in by the front end.
#pragma once

#include "base/number_format.hpp"

#include <string>

namespace vibrolan {

// `value` with `digits` decimals (no padding) and fmt's decimal separator;
// with more than `precision` digits before the point it switches to the
// exponent form, as the fixed format of the read-outs does.
std::string FormatFixed(double value, int precision, int digits, const NumberFormat &fmt);

} // namespace vibrolan

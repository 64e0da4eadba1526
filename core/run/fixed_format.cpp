#include "run/fixed_format.hpp"

#include "base/plain_number.hpp"

#include <cmath>

namespace vibrolan {

std::string FormatFixed(double value, int precision, int digits, const NumberFormat &fmt)
{
    std::string s;
    if (!std::isfinite(value))
        s = std::isnan(value) ? "NAN" : (value > 0 ? "INF" : "-INF");
    else if (std::fabs(value) >= std::pow(10.0, precision))
        s = PlainScientific(value, precision > 0 ? precision - 1 : 0, true);
    else
        s = PlainFixed(value, digits);
    for (char &c : s)
        if (c == '.')
            c = fmt.decimalSeparator;
    return s;
}

} // namespace vibrolan

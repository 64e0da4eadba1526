#include "run/fixed_format.hpp"

#include <cmath>
#include <cstdio>

namespace vibrolan {

std::string FormatFixed(double value, int precision, int digits, const NumberFormat &fmt)
{
    char buf[64];
    if (!std::isfinite(value))
        std::snprintf(buf, sizeof buf, "%s", std::isnan(value) ? "NAN" : (value > 0 ? "INF" : "-INF"));
    else if (std::fabs(value) >= std::pow(10.0, precision))
        std::snprintf(buf, sizeof buf, "%.*E", precision > 0 ? precision - 1 : 0, value);
    else
        std::snprintf(buf, sizeof buf, "%.*f", digits, value);
    std::string s = buf;
    for (char &c : s)
        if (c == '.')
            c = fmt.decimalSeparator;
    return s;
}

} // namespace vibrolan

#include "base/plain_number.hpp"

#include <charconv>
#include <cmath>

namespace vibrolan {

namespace {

std::string nonFinite(double v, bool upperCase)
{
    if (std::isnan(v))
        return upperCase ? "NAN" : "nan";
    if (v < 0)
        return upperCase ? "-INF" : "-inf";
    return upperCase ? "INF" : "inf";
}

std::string format(double v, std::chars_format how, int precision, bool upperCase)
{
    if (!std::isfinite(v))
        return nonFinite(v, upperCase);
    // Enough for "%.*f" of the largest double with up to 18 decimals.
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, how, precision < 0 ? 0 : precision);
    if (res.ec != std::errc())
        return nonFinite(v, upperCase); // unreachable with the buffer above
    std::string s(buf, res.ptr);
    if (upperCase)
        for (char &c : s)
            if (c == 'e')
                c = 'E';
    return s;
}

} // namespace

std::string PlainGeneral(double v, int precision)
{
    return format(v, std::chars_format::general, precision == 0 ? 1 : precision, false);
}

std::string PlainFixed(double v, int decimals)
{
    return format(v, std::chars_format::fixed, decimals, false);
}

std::string PlainScientific(double v, int precision, bool upperCase)
{
    return format(v, std::chars_format::scientific, precision, upperCase);
}

std::optional<double> ParsePlainNumber(std::string_view text)
{
    const char *first = text.data();
    const char *last = first + text.size();
    if (first != last && *first == '+')
        ++first; // from_chars takes no plus sign
    if (first == last || *first == '+')
        return std::nullopt;
    double v = 0;
    const auto res = std::from_chars(first, last, v);
    if (res.ec != std::errc() || res.ptr != last)
        return std::nullopt;
    return v;
}

} // namespace vibrolan

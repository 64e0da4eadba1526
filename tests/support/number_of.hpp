// Decimal numbers of files and texts ("." separator), read and written the
// same under every locale.
#pragma once

#include <charconv>
#include <stdexcept>
#include <string>

namespace vibrolan::test {

inline double numberOf(const std::string &text)
{
    const char *first = text.data();
    const char *last = first + text.size();
    if (first != last && *first == '+')
        ++first;
    double v = 0;
    const auto res = std::from_chars(first, last, v);
    if (res.ec != std::errc() || res.ptr == first)
        throw std::invalid_argument("not a number: \"" + text + "\"");
    return v;
}

// The shortest text that reads back as v, with "." whatever the locale
// (std::to_string follows the C locale).
inline std::string textOf(double v)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

} // namespace vibrolan::test

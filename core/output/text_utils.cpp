#include "output/text_utils.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace vibrolan::datafiles {

std::string foldCase(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b >= 'A' && b <= 'Z') {
            out += static_cast<char>(b + 32);
            continue;
        }
        // Cyrillic capitals are two-byte sequences D0 80..D0 AF (U+0400..U+042F).
        if (b == 0xD0 && i + 1 < s.size()) {
            const auto c = static_cast<unsigned char>(s[i + 1]);
            if (c >= 0x90 && c <= 0x9F) { // А..П -> а..п (D0 B0..D0 BF)
                out += static_cast<char>(0xD0);
                out += static_cast<char>(c + 0x20);
                ++i;
                continue;
            }
            if (c >= 0xA0 && c <= 0xAF) { // Р..Я -> р..я (D1 80..D1 8F)
                out += static_cast<char>(0xD1);
                out += static_cast<char>(c - 0x20);
                ++i;
                continue;
            }
            if (c >= 0x80 && c <= 0x8F) { // Ѐ..Џ -> ѐ..џ (D1 90..D1 9F)
                out += static_cast<char>(0xD1);
                out += static_cast<char>(c + 0x10);
                ++i;
                continue;
            }
        }
        out += static_cast<char>(b);
    }
    return out;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) { return foldCase(a) == foldCase(b); }

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::string formatGeneral(double value, char separator)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? "NAN" : (value > 0 ? "INF" : "-INF");
    if (value == 0)
        return "0";
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    std::string text(buf, res.ptr);
    // "1e-06" -> "1E-6", "1.5e+20" -> "1.5E+20"
    if (auto e = text.find('e'); e != std::string::npos) {
        std::string mantissa = text.substr(0, e);
        char sign = text[e + 1];
        std::string digits = text.substr(e + 2);
        while (digits.size() > 1 && digits.front() == '0')
            digits.erase(0, 1);
        text = mantissa + "E" + sign + digits;
    }
    if (auto dot = text.find('.'); dot != std::string::npos)
        text[dot] = separator;
    return text;
}

std::optional<double> parseDecimal(std::string_view text, char separator)
{
    text = trimBlanks(text);
    if (text.empty())
        return std::nullopt;
    std::string s(text);
    if (separator != '.') {
        if (s.find('.') != std::string::npos)
            return std::nullopt;
        if (auto p = s.find(separator); p != std::string::npos)
            s[p] = '.';
    }
    std::size_t start = 0;
    if (s[0] == '+')
        start = 1;
    // Only digits, one point, sign and exponent: from_chars alone would also take "inf" and "nan".
    for (std::size_t i = start; i < s.size(); ++i) {
        char c = s[i];
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            return std::nullopt;
    }
    double v = 0;
    auto res = std::from_chars(s.data() + start, s.data() + s.size(), v, std::chars_format::general);
    if (res.ec != std::errc() || res.ptr != s.data() + s.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<std::int64_t> parseInteger(std::string_view text)
{
    text = trimBlanks(text);
    if (text.empty())
        return std::nullopt;
    bool negative = false;
    if (text.front() == '-' || text.front() == '+') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.size() > 1 && text[0] == '$') {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() == '-' || text.front() == '+')
        return std::nullopt;
    std::uint64_t v = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), v, base);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size())
        return std::nullopt;
    if (base == 16 && v <= 0xFFFFFFFFu && !negative)
        return static_cast<std::int64_t>(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
    if (negative) {
        if (v > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()) + 1)
            return std::nullopt;
        return -static_cast<std::int64_t>(v);
    }
    if (v > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        return std::nullopt;
    return static_cast<std::int64_t>(v);
}

std::string changeFileExt(std::string_view name, std::string_view ext)
{
    std::size_t slash = name.find_last_of("/\\");
    std::size_t dot = name.find_last_of('.');
    std::string out(name);
    if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash))
        out.erase(dot);
    out += ext;
    return out;
}

bool isPlainFileName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

} // namespace vibrolan::datafiles

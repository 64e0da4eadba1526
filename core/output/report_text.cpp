#include "output/report_text.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace vibrolan::report {

namespace {

constexpr int kPrecision = 6;

bool HasNonZeroDigit(const std::string &text)
{
    for (char c : text)
        if (c >= '1' && c <= '9')
            return true;
    return false;
}

} // namespace

std::string FormatFixed(double value, int decimals, const NumberFormat &format)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (decimals < 0)
        decimals = 0;

    // The value rounded to the precision first: this decides between fixed
    // and exponent form, as 999999.7 already has seven integer digits.
    char sci[40];
    std::snprintf(sci, sizeof sci, "%.*e", kPrecision - 1, std::fabs(value));
    const std::string_view sv(sci);
    const std::size_t ePos = sv.find('e');
    const int exp10 = std::atoi(sci + ePos + 1);
    const int intDigits = exp10 + 1;

    std::string body;
    if (intDigits > kPrecision) {
        std::string mantissa(sv.substr(0, ePos));
        while (mantissa.back() == '0')
            mantissa.pop_back();
        if (mantissa.back() == '.')
            mantissa.pop_back();
        body = mantissa + "E" + (exp10 < 0 ? "-" : "+") + std::to_string(std::abs(exp10));
    } else if (intDigits + decimals <= kPrecision) {
        // The decimals are the coarser rounding: one correct rounding of the value.
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.*f", decimals, std::fabs(value));
        body = buf;
    } else {
        // The six significant digits are the coarser rounding; the decimals
        // beyond them are zeros.
        std::string digits;
        digits += sci[0];
        digits += sv.substr(2, ePos - 2);
        std::string intPart, frac;
        if (intDigits > 0) {
            intPart = digits.substr(0, static_cast<std::size_t>(intDigits));
            frac = digits.substr(static_cast<std::size_t>(intDigits));
        } else {
            intPart = "0";
            frac = std::string(static_cast<std::size_t>(-intDigits), '0') + digits;
        }
        frac.resize(static_cast<std::size_t>(decimals), '0');
        body = decimals > 0 ? intPart + "." + frac : intPart;
    }

    if (std::signbit(value) && HasNonZeroDigit(body.substr(0, body.find('E'))))
        body.insert(body.begin(), '-');
    for (char &c : body)
        if (c == '.')
            c = format.decimalSeparator;
    return body;
}

std::size_t TextWidth(std::string_view utf8)
{
    std::size_t units = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) == 0x80)
            continue;                 // continuation byte
        units += (c >= 0xF0) ? 2 : 1; // four-byte sequences need a surrogate pair
    }
    return units;
}

ReportLine &ReportLine::Append(std::string_view text)
{
    text_.append(text);
    width_ += TextWidth(text);
    return *this;
}

ReportLine &ReportLine::PadTo(std::size_t column)
{
    if (width_ < column) {
        text_.append(column - width_, ' ');
        width_ = column;
    }
    return *this;
}

} // namespace vibrolan::report

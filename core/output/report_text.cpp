#include "output/report_text.hpp"

#include "base/plain_number.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace vibrolan::report {

namespace {

constexpr int kPrecision = 6;
constexpr int kSourceDigits = 40;

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
    decimals = std::clamp(decimals, 0, 18);

    // Enough significant digits that the digit after the cut decides every
    // rounding correctly, ties included (printf alone would round an exact
    // 0.125 to "0.12"; the report rounds halves away from zero).
    const std::string sci = PlainScientific(std::fabs(value), kSourceDigits - 1);
    const std::string_view sv(sci);
    const std::size_t ePos = sv.find('e');
    std::string digits;
    digits += sv[0];
    digits += sv.substr(2, ePos - 2);
    int exp10 = std::atoi(sci.c_str() + ePos + 1); // value = d.ddd * 10^exp10

    // Keep at most kPrecision significant digits and nothing below the last decimal.
    const int keep = std::min(kPrecision, exp10 + 1 + decimals);
    std::string kept;
    if (keep >= 0) {
        kept = digits.substr(0, static_cast<std::size_t>(keep));
        if (digits[static_cast<std::size_t>(keep)] >= '5') {
            int i = keep - 1;
            for (; i >= 0 && kept[static_cast<std::size_t>(i)] == '9'; --i)
                kept[static_cast<std::size_t>(i)] = '0';
            if (i >= 0) {
                ++kept[static_cast<std::size_t>(i)];
            } else {
                kept.insert(kept.begin(), '1'); // carried into a new leading digit
                ++exp10;
            }
        }
    }

    std::string body;
    const int intDigits = exp10 + 1;
    if (intDigits > kPrecision) {
        // Exponent form: the mantissa's significant digits without trailing zeros.
        kept.resize(static_cast<std::size_t>(kPrecision), '0');
        while (kept.size() > 1 && kept.back() == '0')
            kept.pop_back();
        body = kept.substr(0, 1);
        if (kept.size() > 1)
            body += "." + kept.substr(1);
        body += "E+" + std::to_string(exp10);
    } else {
        std::string intPart = "0";
        std::string frac;
        if (intDigits > 0) {
            kept.resize(std::max(kept.size(), static_cast<std::size_t>(intDigits)), '0');
            intPart = kept.substr(0, static_cast<std::size_t>(intDigits));
            frac = kept.substr(static_cast<std::size_t>(intDigits));
        } else {
            frac = std::string(static_cast<std::size_t>(-intDigits), '0') + kept;
        }
        frac.resize(static_cast<std::size_t>(decimals), '0');
        body = decimals > 0 ? intPart + "." + frac : intPart;
    }

    if (std::signbit(value) && HasNonZeroDigit(body))
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

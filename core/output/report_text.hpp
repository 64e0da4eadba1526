// Text pieces of the blade report: numbers in the report's fixed format and
// lines whose columns are counted in characters as the report file stores
// them (UTF-16 code units), while the program holds the text as UTF-8.
#pragma once

#include "base/number_format.hpp"

#include <cstddef>
#include <string>
#include <string_view>

namespace vibrolan::report {

// Fixed-point text with 6 significant digits and `decimals` decimals (missing
// digits are zeros, "123456.789" with 2 decimals gives "123457.00"); a value
// with more than 6 integer digits comes out in exponent form ("1.23457E+6").
// A result that rounds to zero carries no sign; NaN and infinities give "NAN",
// "INF" and "-INF". The decimal separator is the regional one of `format`.
std::string FormatFixed(double value, int decimals, const NumberFormat &format);

// Number of UTF-16 code units of a UTF-8 text.
std::size_t TextWidth(std::string_view utf8);

// One report line under construction.
class ReportLine {
public:
    ReportLine() = default;
    explicit ReportLine(std::string_view text) { Append(text); }

    ReportLine &Append(std::string_view text);
    // Appends blanks until the line is at least `column` characters long.
    ReportLine &PadTo(std::size_t column);

    std::size_t Width() const { return width_; }
    const std::string &Text() const { return text_; }

private:
    std::string text_;
    std::size_t width_ = 0;
};

} // namespace vibrolan::report

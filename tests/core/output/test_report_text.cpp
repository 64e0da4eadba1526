#include "output/report_text.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <limits>

namespace vibrolan {
namespace {

using report::FormatFixed;
using report::ReportLine;
using report::TextWidth;

TEST(ReportText, FixedFormatWithSixSignificantDigits)
{
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double value;
        int decimals;
        const char *expected;
    };
    const Case cases[] = {
        {1.5, 2, "1.50"},
        {0.0, 3, "0.000"},
        {12.345678, 2, "12.35"},
        {0.125, 2, "0.13"}, // an exact half rounds away from zero
        {-0.125, 2, "-0.13"},
        {0.0049999, 2, "0.00"},
        {0.006, 2, "0.01"},
        {-0.001, 2, "0.00"}, // no sign on a value that rounds to zero
        {9.9999996, 2, "10.00"},
        {0.00012345678, 4, "0.0001"},
        {3.6, 0, "4"},
        {1234.5678, 4, "1234.5700"}, // digits beyond the sixth are zeros
        {123456.789, 2, "123457.00"},
        {-99999.96, 3, "-100000.000"},
        {999999.7, 2, "1E+6"}, // seven integer digits after rounding
        {1234567.0, 2, "1.23457E+6"},
        {-2.0 * FLT_MAX, 3, "-6.80565E+38"},
        {std::numeric_limits<double>::quiet_NaN(), 2, "NAN"},
        {inf, 2, "INF"},
        {-inf, 2, "-INF"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FormatFixed(c.value, c.decimals, NumberFormat{}), c.expected)
            << c.value << " / " << c.decimals;
}

TEST(ReportText, RegionalDecimalSeparator)
{
    NumberFormat comma;
    comma.decimalSeparator = ',';
    EXPECT_EQ(FormatFixed(-1.5, 3, comma), "-1,500");
    EXPECT_EQ(FormatFixed(1234567.0, 2, comma), "1,23457E+6");
    EXPECT_EQ(FormatFixed(7.0, 0, comma), "7");
}

TEST(ReportText, ColumnsCountCharactersNotBytes)
{
    EXPECT_EQ(TextWidth("abc"), 3u);
    EXPECT_EQ(TextWidth("Пары:  "), 7u);
    EXPECT_EQ(TextWidth("№€"), 2u);
    EXPECT_EQ(TextWidth("\xF0\x9F\x98\x80"), 2u); // outside the BMP: a surrogate pair in the file

    ReportLine line("Пары:  ");
    line.PadTo(11).Append("П1").PadTo(5);
    EXPECT_EQ(line.Text(), "Пары:      П1");
    EXPECT_EQ(line.Width(), 13u);
}

} // namespace
} // namespace vibrolan

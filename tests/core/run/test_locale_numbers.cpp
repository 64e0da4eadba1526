// Numbers for files, read-outs and messages never take the separator from the
// process locale: under the users' ru_RU locale (decimal comma) the text is
// the same as under C, and the regional separator comes from NumberFormat only.
#include "base/plain_number.hpp"
#include "output/report_text.hpp"
#include "run/fixed_format.hpp"
#include "support/scoped_locale.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vibrolan {
namespace {

NumberFormat withSeparator(char c)
{
    NumberFormat f;
    f.decimalSeparator = c;
    return f;
}

TEST(LocaleNumbers, FormattingIgnoresTheProcessLocale)
{
    test::ScopedLocale ru(test::kRussianLocale);
    ASSERT_TRUE(ru.active()) << test::kRussianLocale << " is not installed: run scripts/deps.sh";
    const NumberFormat dot = withSeparator('.');
    const NumberFormat comma = withSeparator(',');

    EXPECT_EQ(FormatFixed(2.3851, 6, 2, dot), "2.39");
    EXPECT_EQ(FormatFixed(2.3851, 6, 2, comma), "2,39");
    EXPECT_EQ(FormatFixed(1234567.5, 6, 1, dot), "1.23457E+06");
    EXPECT_EQ(report::FormatFixed(0.125, 2, dot), "0.13");
    EXPECT_EQ(report::FormatFixed(-1.5, 1, comma), "-1,5");
    EXPECT_EQ(report::FormatFixed(1234567.0, 2, dot), "1.23457E+6");

    EXPECT_EQ(PlainGeneral(0.1), "0.1");
    EXPECT_EQ(PlainGeneral(1.5e-5), "1.5e-05");
    EXPECT_EQ(PlainGeneral(123456789.0, 9), "123456789");
    EXPECT_EQ(PlainFixed(-0.0625, 3), "-0.062"); // printf's round-half-even on the binary value
    EXPECT_EQ(PlainScientific(1500.0, 2, true), "1.50E+03");
    EXPECT_EQ(PlainGeneral(std::numeric_limits<double>::quiet_NaN()), "nan");
}

TEST(LocaleNumbers, ParsingTakesOnlyThePoint)
{
    test::ScopedLocale ru(test::kRussianLocale);
    ASSERT_TRUE(ru.active()) << test::kRussianLocale << " is not installed: run scripts/deps.sh";
    struct Case {
        const char *text;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"1.5", 1.5},           {"+2.5", 2.5},         {"-0.25", -0.25},
        {"1e3", 1000.0},        {"1,5", std::nullopt}, {"", std::nullopt},
        {"1.5 ", std::nullopt}, {"++1", std::nullopt}, {"1e999", std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ParsePlainNumber(c.text), c.value) << '"' << c.text << '"';
}

} // namespace
} // namespace vibrolan

#include "base/code_pages.hpp"

#include <gtest/gtest.h>

using namespace vibrolan;

TEST(CodePages, Cp1251RoundTripOfRussianText)
{
    const std::string text = "Корневой датчик №1 «St»";
    const std::string bytes = utf8ToCp1251(text);
    // К = 0xCA, о = 0xEE, № = 0xB9, « = 0xAB in code page 1251.
    ASSERT_EQ(bytes.size(), 23u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xCA);
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xEE);
    EXPECT_EQ(static_cast<unsigned char>(bytes[16]), 0xB9);
    EXPECT_EQ(static_cast<unsigned char>(bytes[19]), 0xAB);
    EXPECT_EQ(cp1251ToUtf8(bytes), text);
}

TEST(CodePages, EveryCp1251ByteSurvivesARoundTripIncludingUndefined0x98)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string utf8 = cp1251ToUtf8(all);
    EXPECT_EQ(utf8ToCp1251(utf8), all);
}

TEST(CodePages, Cp866AndUnmappableCharacters)
{
    const std::string text = "Выбег";
    const std::string bytes = utf8ToCp866(text);
    ASSERT_EQ(bytes.size(), 5u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0x82); // В in code page 866
    EXPECT_EQ(cp866ToUtf8(bytes), text);
    EXPECT_EQ(utf8ToCp1251("a€b"), "a\x88"
                                   "b"); // the euro sign exists in 1251
    EXPECT_EQ(utf8ToCp866("a€b"), "a?b"); // but not in 866
    EXPECT_EQ(utf8ToCp1251("\xFF"), "?"); // malformed UTF-8
}

TEST(CodePages, Utf16LittleEndianWithoutBom)
{
    const std::string text = "Отчет A\r\n😀";
    const std::string wide = utf8ToUtf16le(text);
    ASSERT_GE(wide.size(), 4u);
    EXPECT_EQ(static_cast<unsigned char>(wide[0]), 0x1E); // О = U+041E
    EXPECT_EQ(static_cast<unsigned char>(wide[1]), 0x04);
    EXPECT_EQ(wide.size(), 2u * (9 + 2)); // 9 BMP units + a surrogate pair
    EXPECT_EQ(utf16leToUtf8(wide), text);
    EXPECT_EQ(utf16leToUtf8(std::string("\x00\xD8", 2)), "\xEF\xBF\xBD"); // lone surrogate
}

#include "base/errors.hpp"
#include "data_file_test_support.hpp"
#include "output/date_time_text.hpp"
#include "output/ini_file.hpp"
#include "output/program_settings.hpp"
#include "output/text_utils.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace vibrolan {
namespace {

using test::fileBytes;
using test::TempDir;
using test::writeBytes;

TEST(IniFile, ArraysUseIdentPlusIndexFromZero)
{
    TempDir tmp;
    TIniF ini(tmp / "a.ini");
    const std::vector<float> f{1.5f, -2.25f, 1e-7f};
    const std::vector<std::int32_t> n{7, -8, 2147483647};
    const std::vector<bool> b{true, false, true};
    ini.WriteFloatArr("arr", "F", f, 3);
    ini.WriteIntArr("arr", "I", n, 3);
    ini.WriteBoolArr("arr", "B", b, 3);
    EXPECT_EQ(fileBytes(tmp / "a.ini"), "[arr]\r\nF0=1.5\r\nF1=-2.25\r\nF2=1.0000000116861E-7\r\n"
                                        "I0=7\r\nI1=-8\r\nI2=2147483647\r\nB0=1\r\nB1=0\r\nB2=1\r\n");

    std::vector<float> fr(4, 99);
    std::vector<std::int32_t> nr(4, 99);
    std::vector<bool> br(4, false);
    ini.ReadFloatArr("arr", "F", -1, fr, 4);
    ini.ReadIntArr("arr", "I", -1, nr, 4);
    ini.ReadBoolArr("arr", "B", true, br, 4);
    EXPECT_EQ(fr, (std::vector<float>{1.5f, -2.25f, 1e-7f, -1}));
    EXPECT_EQ(nr, (std::vector<std::int32_t>{7, -8, 2147483647, -1}));
    EXPECT_EQ(br, (std::vector<bool>{true, false, true, true}));
}

TEST(IniFile, NothingForNonPositiveCountsAndDefaultsForBadKeys)
{
    TempDir tmp;
    writeBytes(tmp / "b.ini",
               "[s]\r\nF0=abc\r\nF1=1,5\r\nI0=12x\r\nI1=0x10\r\nI2=99999999999\r\nB0=yes\r\nB1=2\r\n");
    TIniF ini(tmp / "b.ini");
    std::vector<float> f(2, 5);
    std::vector<std::int32_t> n(3, 5);
    std::vector<bool> b(2, false);
    ini.ReadFloatArr("s", "F", 3, f, 0);
    ini.ReadIntArr("s", "I", 3, n, -4);
    EXPECT_EQ(f, (std::vector<float>{5, 5}));
    EXPECT_EQ(n, (std::vector<std::int32_t>{5, 5, 5}));
    ini.ReadFloatArr("s", "F", 3, f, 2); // "." machine: "1,5" is unreadable
    ini.ReadIntArr("s", "I", 3, n, 3);
    ini.ReadBoolArr("s", "B", false, b, 2);
    EXPECT_EQ(f, (std::vector<float>{3, 3}));
    EXPECT_EQ(n, (std::vector<std::int32_t>{3, 16, 3}));
    EXPECT_EQ(b, (std::vector<bool>{false, true}));

    const std::string before = fileBytes(tmp / "b.ini");
    ini.WriteIntArr("s", "I", n, 0);
    ini.WriteFloatArr("s", "F", std::vector<float>{}, 5); // more than the array holds: only what it has
    EXPECT_EQ(fileBytes(tmp / "b.ini"), before);

    TIniF comma(tmp / "b.ini", NumberFormat{',', "dd.MM.yyyy", "hh:mm:ss"});
    comma.ReadFloatArr("s", "F", 3, f, 2);
    EXPECT_EQ(f, (std::vector<float>{3, 1.5f}));
    TIniF missing(tmp / "none.ini");
    missing.ReadFloatArr("s", "F", 4, f, 2);
    EXPECT_EQ(f, (std::vector<float>{4, 4}));
}

TEST(IniFile, WritesThroughAndKeepsTheRestOfTheFile)
{
    TempDir tmp;
    const auto path = tmp / "c.ini";
    writeBytes(path, "; settings\n[Other]\nkey = value with blanks  \n[styles]\nstyle=old\n");
    TIniF ini(path);
    ini.WriteString("STYLES", "Style", "Luna");
    EXPECT_EQ(ini.ReadString("styles", "style", ""), "Luna");
    EXPECT_EQ(ini.ReadString("other", "KEY", ""), " value with blanks  ");
    EXPECT_EQ(fileBytes(path),
              "; settings\r\n\r\n[Other]\r\nkey= value with blanks  \r\n\r\n[styles]\r\nstyle=Luna\r\n");

    TIniF again(path); // another object sees the write at once
    EXPECT_EQ(again.ReadString("styles", "style", ""), "Luna");
    EXPECT_THROW(ini.WriteString("a]b", "k", "v"), ValueError);
    EXPECT_THROW(ini.WriteString("s", "k=1", "v"), ValueError);
    EXPECT_THROW(ini.WriteString("s", "k\r\n[x]", "v"), ValueError);
    ini.WriteString("s", "multi", "line1\r\n[x]\r\ny=1");
    EXPECT_FALSE(ini.SectionExists("x"));
    ini.DeleteKey("s", "multi");
    EXPECT_FALSE(ini.ValueExists("s", "multi"));
    ini.EraseSection("Other");
    EXPECT_FALSE(ini.SectionExists("other"));
    EXPECT_TRUE(ini.SectionExists("styles"));
}

TEST(IniFile, UnreadableFileIsNeverOverwritten)
{
    TempDir tmp;
    const auto path = tmp / "ro.ini";
    writeBytes(path, "[a]\r\nk=1\r\n");
    ::chmod(path.c_str(), 0444);
    TIniF ini(path);
    EXPECT_THROW(ini.WriteString("a", "k", "2"), FileError);
    EXPECT_EQ(ini.ReadString("a", "k", ""), "1");
    std::filesystem::create_directory(tmp / "dir.ini");
    TIniF dir(tmp / "dir.ini");
    EXPECT_EQ(dir.ReadString("a", "k", "def"), "def");
    EXPECT_THROW(dir.WriteString("a", "k", "2"), FileError);
    EXPECT_TRUE(std::filesystem::is_directory(tmp / "dir.ini"));
}

TEST(IniFile, KeyFilesAreCp1251)
{
    TempDir tmp;
    const auto path = tmp / "r.ini";
    writeBytes(path,
               "[\xD1\xF2\xE8\xEB\xFC]\r\n\xC8\xEC\xFF=\xC7\xED\xE0\xF7\xE5\xED\xE8\xE5\r\n"); // Стиль /
                                                                                               // Имя=Значение
    TIniF ini(path);
    EXPECT_EQ(ini.ReadString("стиль", "имя", ""), "Значение");
    ini.WriteString("Стиль", "Ещё", "да");
    EXPECT_NE(fileBytes(path).find("\xC5\xF9\xB8=\xE4\xE0\r\n"), std::string::npos);
    writeBytes(path, "\xEF\xBB\xBF[u]\r\nk=\xD0\x96\r\n"); // a UTF-8 file with its mark
    EXPECT_EQ(ini.ReadString("u", "k", ""), "Ж");
}

TEST(ProgramSettings, StyleFromVibrolanIniBesideTheProgram)
{
    TempDir tmp;
    ProgramSettings settings(tmp.path());
    EXPECT_EQ(settings.IniFileName(), tmp / "Vibrolan.ini");
    EXPECT_EQ(settings.Style(), "windows"); // no file
    writeBytes(tmp / "Vibrolan.ini", "[styles]\r\nother=1\r\n");
    EXPECT_EQ(settings.Style(), "windows"); // no key
    writeBytes(tmp / "Vibrolan.ini", "[Styles]\r\nStyle=Luna\r\n");
    EXPECT_EQ(settings.Style(), "Luna");
    writeBytes(tmp / "Vibrolan.ini",
               std::string("\0\xFF\n[styles\nstyle=x\n", 19)); // odd bytes, unclosed section
    EXPECT_EQ(settings.Style(), "x");
}

TEST(IniDocument, OddLayoutsParseSafely)
{
    using datafiles::IniDocument;
    const auto doc =
        IniDocument::parse("k0=before\r[a]\r\n=empty\n[a]\nx=1\n[ b ]\n  y = 2\nno equals\n[]\nz=3\n[c");
    EXPECT_EQ(doc.sectionNames(), (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_EQ(doc.readString("a", "x", ""), "1"); // the repeated section is merged
    EXPECT_EQ(doc.readString("b", "y", ""), " 2");
    EXPECT_EQ(doc.readString("", "z", ""), "3");
    EXPECT_EQ(doc.readString("a", "", "-"), "empty");
    EXPECT_FALSE(doc.hasKey("b", "no equals"));
    EXPECT_EQ(IniDocument::parse(doc.serialize()).serialize(), doc.serialize());
}

TEST(NumberText, GeneralFormatWithFifteenDigits)
{
    using datafiles::formatGeneral;
    const std::pair<double, const char *> cases[] = {
        {0, "0"},
        {100, "100"},
        {-2.5, "-2.5"},
        {static_cast<double>(1.0f / 60), "0.0166666675359011"},
        {1.0 / 3, "0.333333333333333"},
        {1e-6, "1E-6"},
        {1.5e20, "1.5E+20"},
        {123456789012345.0, "123456789012345"},
        {1234567890123456.0, "1.23456789012346E+15"},
    };
    for (const auto &[value, text] : cases)
        EXPECT_EQ(formatGeneral(value, '.'), text);
    EXPECT_EQ(formatGeneral(-0.5, ','), "-0,5");
}

TEST(DateTimeText, DaysSince1899WithRegionalPatterns)
{
    using datafiles::formatDateTime;
    EXPECT_EQ(formatDateTime(45000.5, "dd.MM.yyyy hh:mm:ss"), "15.03.2023 12:00:00");
    EXPECT_EQ(formatDateTime(0, "d/M/yy h:m:s"), "30/12/99 0:0:0");
    EXPECT_EQ(formatDateTime(2.75 + 1.0 / 86400000, "yyyy-MM-dd'T'hh:mm:ss.zzz"), "1900-01-01T18:00:00.001");
    EXPECT_EQ(formatDateTime(0.9999999999, "dd hh:mm:ss"), "31 00:00:00"); // rounds into the next day
    EXPECT_EQ(formatDateTime(-1.25, "dd.MM.yyyy hh:mm"), "29.12.1899 06:00");
    EXPECT_EQ(formatDateTime(1e30, "dd.MM.yyyy"), "30.12.1899"); // out of range counts as 0
    EXPECT_EQ(formatDateTime(NAN, "dd.MM.yyyy"), "30.12.1899");
}

} // namespace
} // namespace vibrolan

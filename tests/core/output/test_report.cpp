#include "base/errors.hpp"
#include "output/report.hpp"
#include "support/temp_dir.hpp"
#include "test_report_fixture.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace vibrolan {
namespace {

using test::ReportFixture;
using test::sp;
using test::TempDir;
using Lines = std::vector<std::string>;

const NumberFormat kDot{};

std::string ReadBytes(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::filesystem::path &file, const std::string &bytes)
{
    std::ofstream(file, std::ios::binary) << bytes;
}

// UTF-16LE of a UTF-8 text of the Basic Multilingual Plane (all the report uses).
std::string Utf16le(const std::string &utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        unsigned cp;
        if (c < 0x80) {
            cp = c;
            i += 1;
        } else if (c < 0xE0) {
            cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
            i += 2;
        } else {
            cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
            i += 3;
        }
        out += static_cast<char>(cp & 0xFF);
        out += static_cast<char>(cp >> 8);
    }
    return out;
}

// The report of a stage without blades, pairs or harmonics: every table
// reduced to its fixed texts.
TCfgDfm EmptyStage()
{
    TCfgDfm cfg;
    cfg.CountStage = 1;
    cfg.Stages[0].NameStage = "S";
    return cfg;
}

const Lines kEmptyStageLines = {"",
                                "",
                                "ОТЧЕТ ДЛЯ СТУПЕНИ S (своб.лопатки)",
                                "          режим прохода",
                                "",
                                "Таблица осредненных показаний, мм",
                                "Пары:  ",
                                "",
                                "среднее по лопаткам:",
                                "", // no blades: no averages
                                "",
                                "",
                                "Таблица  СКО срывных колебаний, мм",
                                "Пары:  ",
                                "среднее по лопаткам:",
                                "",
                                "",
                                "",
                                "Таблица проверки нумерации лопаток, мм",
                                "Пары:  ",
                                "",
                                "Матрица корреляций ",
                                "Пары:  ",
                                "",
                                "",
                                "Таблица размаха на интервале...0.00..0.00, об/с",
                                "Пары:  ",
                                "среднее по лопаткам:",
                                "",
                                "",
                                "",
                                "Таблица размаха срывных колебаний, мм",
                                "Пары:  ",
                                "среднее по лопаткам:",
                                "",
                                "",
                                "",
                                "",
                                "Таблица гармонического анализа",
                                "",
                                ""};

TEST(BladeReport, NoStagesNoLines)
{
    TCfgDfm cfg;
    cfg.CountStage = 0;
    TBladeReport r;
    r.GenerateReport(cfg, kDot);
    EXPECT_EQ(r.LineCount(), 0u);
}

TEST(BladeReport, StageWithoutBladesGivesTheBareTables)
{
    TBladeReport r;
    r.GenerateReport(EmptyStage(), kDot);
    EXPECT_EQ(r.Lines(), kEmptyStageLines);
}

TEST(BladeReport, SectionLayoutByStageKindAndMode)
{
    struct Case {
        TTypeStage kind;
        TMode mode;
        std::string title;
        std::string modeLine;
        bool velocity; // velocity table instead of swing table
    };
    const Case cases[] = {
        {TTypeStage::tsFree, TMode::mdDynamic, "ОТЧЕТ ДЛЯ СТУПЕНИ Ст1 (своб.лопатки)",
         sp(10) + "режим прохода", false},
        {TTypeStage::tsBandag, TMode::mdStatic, "ОТЧЕТ ДЛЯ СТУПЕНИ Ст1 (банд.лопатки)",
         sp(7) + "стационарный режим", false},
        {TTypeStage::tsLink, TMode::mdDynamic, "ОТЧЕТ ДЛЯ СТУПЕНИ Ст1 (связ.лопатки)",
         sp(10) + "режим прохода", false},
        {TTypeStage::tsAviaEng, TMode::mdStatic, "ОТЧЕТ ДЛЯ СТУПЕНИ Ст1 (авиалопатки)",
         sp(7) + "стационарный режим", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.title);
        TCfgDfm cfg = ReportFixture();
        cfg.Stages[0].TypeStage = c.kind;
        cfg.Mode = c.mode;

        // The section is its head and the tables in their order, nothing between
        // them and nothing after the harmonic table.
        TBladeReport expected;
        expected.Averaging_results_table(cfg, 0, kDot);
        expected.Quenched_oscillations_RMS_table(cfg, 0, kDot);
        expected.Blades_NUMERATION_CHECKING_table(cfg, 0, kDot);
        expected.Amplitude_IN_THE_RANGE_table(cfg, 0, kDot);
        if (c.velocity)
            expected.Quenched_oscillations_VELOCITY_table(cfg, 0, kDot);
        else
            expected.Quenched_oscillations_SWING_table(cfg, 0, kDot);
        expected.Harmonic_analysis_table(cfg, 0, kDot);
        Lines want = {"", "", c.title, c.modeLine, ""};
        want.insert(want.end(), expected.Lines().begin(), expected.Lines().end());

        TBladeReport r;
        r.GenerateReport(cfg, kDot);
        EXPECT_EQ(r.Lines(), want);
        EXPECT_EQ(r.Lines().back(), " -1.50 100.00");
    }
}

TEST(BladeReport, StagesFollowEachOtherAndGenerationAppends)
{
    TCfgDfm cfg = ReportFixture();
    cfg.CountStage = 2;
    cfg.Stages[1] = EmptyStage().Stages[0];
    TBladeReport first;
    first.GenerateReport(ReportFixture(), kDot);

    TBladeReport r;
    r.GenerateReport(cfg, kDot);
    Lines want = first.Lines();
    want.insert(want.end(), kEmptyStageLines.begin(), kEmptyStageLines.end());
    EXPECT_EQ(r.Lines(), want);

    r.GenerateReport(cfg, kDot); // no clearing of its own
    EXPECT_EQ(r.LineCount(), 2 * want.size());
    r.Clear();
    EXPECT_EQ(r.LineCount(), 0u);
}

TEST(BladeReport, TitleKeepsOnlyWhatTheEightBitCodePageHolds)
{
    TCfgDfm cfg = EmptyStage();
    cfg.Stages[0].NameStage = "St№1 ✓ €";
    cfg.Stages[0].TypeStage = TTypeStage::tsBandag;
    TBladeReport r;
    r.GenerateReport(cfg, kDot);
    ASSERT_GE(r.LineCount(), 3u);
    EXPECT_EQ(r.Lines()[2], "ОТЧЕТ ДЛЯ СТУПЕНИ St№1 ? € (банд.лопатки)");
}

TEST(BladeReport, CountsBeyondTheModelAreClamped)
{
    TCfgDfm cfg = EmptyStage();
    cfg.CountStage = 9;
    TBladeReport r;
    r.GenerateReport(cfg, kDot);
    EXPECT_EQ(r.LineCount(), kMaxStages * kEmptyStageLines.size());
}

TEST(BladeReport, WrittenFileIsUtf16leWithCrLfAndNoByteOrderMark)
{
    TempDir tmp;
    TBladeReport r;
    r.GenerateReport(EmptyStage(), kDot);
    r.WriteReport(tmp / "report.txt");

    std::string want;
    for (const std::string &line : kEmptyStageLines)
        want += Utf16le(line) + std::string("\r\0\n\0", 4);
    const std::string got = ReadBytes(tmp / "report.txt");
    EXPECT_EQ(got, want);
    // The file opens with the two empty lines: CR LF CR LF, no byte-order mark.
    EXPECT_EQ(got.substr(0, 8), std::string("\r\0\n\0\r\0\n\0", 8));
    // "ОТЧЕТ": U+041E U+0422 U+0427 U+0415 U+0422.
    EXPECT_EQ(got.substr(8, 10), std::string("\x1E\x04\x22\x04\x27\x04\x15\x04\x22\x04", 10));
}

TEST(BladeReport, RewritingReplacesALongerFile)
{
    TempDir tmp;
    WriteBytes(tmp / "r.txt", std::string(100000, 'x'));
    TBladeReport r;
    r.GenerateReport(EmptyStage(), kDot);
    r.WriteReport(tmp / "r.txt");
    r.Clear();
    EXPECT_EQ(ReadBytes(tmp / "r.txt").substr(0, 4), std::string("\r\0\n\0", 4));
    EXPECT_LT(ReadBytes(tmp / "r.txt").size(), 100000u);
}

TEST(BladeReport, FailedWritesLeaveExistingFilesAlone)
{
    TempDir tmp;
    TBladeReport r;
    r.GenerateReport(EmptyStage(), kDot);

    EXPECT_THROW(r.WriteReport(tmp / "missing-folder" / "r.txt"), FileError);
    EXPECT_FALSE(std::filesystem::exists(tmp / "missing-folder"));

    WriteBytes(tmp / "locked.txt", "old report");
    ::chmod((tmp / "locked.txt").c_str(), 0444);
    EXPECT_THROW(r.WriteReport(tmp / "locked.txt"), FileError);
    EXPECT_EQ(ReadBytes(tmp / "locked.txt"), "old report");
}

} // namespace
} // namespace vibrolan

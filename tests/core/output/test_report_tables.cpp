#include "base/errors.hpp"
#include "output/report.hpp"
#include "test_report_fixture.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vibrolan {
namespace {

using test::ReportFixture;
using test::sp;
using Lines = std::vector<std::string>;

const NumberFormat kDot{};

// The pairs line of the fixture: checked pairs 0 and 2 in columns 11 and 33.
const std::string kPairs = "Пары:" + sp(6) + "П1" + sp(20) + "P3";

TEST(ReportTables, AveragedReadings)
{
    TBladeReport r;
    r.Averaging_results_table(ReportFixture(), 0, kDot);
    EXPECT_EQ(r.Lines(),
              (Lines{"Таблица осредненных показаний, мм", kPairs, "", "3" + sp(10) + "1.50" + sp(18) + "0.13",
                     "1" + sp(10) + "-0.25" + sp(17) + "2.00", "2" + sp(10) + "12.35" + sp(17) + "-3.00",
                     "среднее по лопаткам:", sp(11) + "4.53" + sp(18) + "-0.29", "", ""}));
}

TEST(ReportTables, StallRms)
{
    TBladeReport r;
    r.Quenched_oscillations_RMS_table(ReportFixture(), 0, kDot);
    EXPECT_EQ(
        r.Lines(),
        (Lines{"Таблица  СКО срывных колебаний, мм", kPairs, "3" + sp(10) + "0.1235" + sp(16) + "2.5000",
               "1" + sp(10) + "1.0000" + sp(16) + "0.0000", "2" + sp(10) + "0.5000" + sp(16) + "0.3333",
               "среднее по лопаткам:", sp(11) + "0.541" + sp(17) + "0.944", "", ""}));
}

TEST(ReportTables, NumberingCheckWithLowerTriangleOfCorrelations)
{
    TBladeReport r;
    r.Blades_NUMERATION_CHECKING_table(ReportFixture(), 0, kDot);
    EXPECT_EQ(
        r.Lines(),
        (Lines{"Таблица проверки нумерации лопаток, мм", kPairs, "3" + sp(10) + "-1.00" + sp(17) + "0.25",
               "1" + sp(10) + "0.50" + sp(18) + "-0.13", "2" + sp(10) + "0.50" + sp(18) + "-0.13", "",
               "Матрица корреляций ", kPairs, "П1   1.000", "Pair2", "P3   -0.988   0.000   1.000", "", ""}));
}

TEST(ReportTables, AmplitudeInTheResonanceBand)
{
    TBladeReport r;
    r.Amplitude_IN_THE_RANGE_table(ReportFixture(), 0, kDot);
    EXPECT_EQ(r.Lines(),
              (Lines{"Таблица размаха на интервале...1800.00..1818.00, об/с", kPairs,
                     "3" + sp(10) + "0.5000" + sp(16) + "2.0000", "1" + sp(10) + "1.2346" + sp(16) + "3.0000",
                     "2" + sp(10) + "0.0000" + sp(16) + "4.0000",
                     "среднее по лопаткам:", sp(11) + "0.578" + sp(17) + "3.000", "", ""}));
}

TEST(ReportTables, StallSwingOfAPairWithoutSamplesShowsTheSentinelSpan)
{
    TBladeReport r;
    r.Quenched_oscillations_SWING_table(ReportFixture(), 0, kDot);
    EXPECT_EQ(r.Lines(), (Lines{"Таблица размаха срывных колебаний, мм", kPairs,
                                "3" + sp(10) + "2.500" + sp(17) + "-6.80565E+38",
                                "1" + sp(10) + "0.250" + sp(17) + "-6.80565E+38",
                                "2" + sp(10) + "1.250" + sp(17) + "-6.80565E+38", "среднее по лопаткам:",
                                sp(11) + "1.333" + sp(17) + "-6.80565E+38", "", "", ""}));
}

TEST(ReportTables, StallVelocity)
{
    TBladeReport r;
    r.Quenched_oscillations_VELOCITY_table(ReportFixture(), 0, kDot);
    EXPECT_EQ(
        r.Lines(),
        (Lines{"Таблица скорости срывных колебаний, мм/с", kPairs, "3" + sp(10) + "10.500" + sp(16) + "1.000",
               "1" + sp(10) + "20.250" + sp(16) + "2.000", "2" + sp(10) + "0.000" + sp(17) + "3.000",
               "среднее по лопаткам:", sp(11) + "10.250" + sp(16) + "2.000", "", "", ""}));
}

TEST(ReportTables, HarmonicAnalysis)
{
    TBladeReport r;
    r.Harmonic_analysis_table(ReportFixture(), 0, kDot);
    EXPECT_EQ(r.Lines(), (Lines{"Таблица гармонического анализа", sp(17) + "Гарм.1" + sp(11) + "Гарм.12",
                                sp(17) + "A0     A1" + sp(8) + "A0     A1",
                                "3" + sp(16) + "1.50  -2.25" + sp(2) + "10.13  0.50",
                                "1" + sp(16) + "0.00  0.00" + sp(3) + "0.00  0.00",
                                "2" + sp(16) + "123.46  7.00" + sp(1) + "0.00  0.01", " 2.00", " 1.00 3.00",
                                " 0.25", " -1.50 100.00"}));
}

TEST(ReportTables, HarmonicTableWithoutHarmonicsHasBareLabels)
{
    TCfgDfm cfg = ReportFixture();
    cfg.Stages[0].CountHarm = 0;
    TBladeReport r;
    r.Harmonic_analysis_table(cfg, 0, kDot);
    EXPECT_EQ(r.Lines(),
              (Lines{"Таблица гармонического анализа", "", "", "3" + sp(16), "1" + sp(16), "2" + sp(16)}));
}

TEST(ReportTables, OnlyTheSecondPairCheckedStartsAtColumn22)
{
    TCfgDfm cfg = ReportFixture();
    TStage &st = cfg.Stages[0];
    st.CountPairs = 2;
    st.Pairs[0].Checked = false;
    st.Pairs[1].Checked = true;
    TBladeReport r;
    r.Averaging_results_table(cfg, 0, kDot);
    EXPECT_EQ(r.Lines(), (Lines{"Таблица осредненных показаний, мм", "Пары:" + sp(17) + "Pair2", "",
                                "3" + sp(21) + "99.00", "1" + sp(21) + "99.00", "2" + sp(21) + "99.00",
                                "среднее по лопаткам:", sp(22) + "99.00", "", ""}));
}

TEST(ReportTables, NoCheckedPairLeavesBareRowsAndTheBandRowsKeepTheirFourBlanks)
{
    TCfgDfm cfg = ReportFixture();
    for (TPair &p : cfg.Stages[0].Pairs)
        p.Checked = false;
    TBladeReport r;
    r.Amplitude_IN_THE_RANGE_table(cfg, 0, kDot);
    r.Blades_NUMERATION_CHECKING_table(cfg, 0, kDot);
    EXPECT_EQ(r.Lines(), (Lines{"Таблица размаха на интервале...1800.00..1818.00, об/с",
                                "Пары:  ",
                                "3    ",
                                "1    ",
                                "2    ",
                                "среднее по лопаткам:",
                                "",
                                "",
                                "",
                                "Таблица проверки нумерации лопаток, мм",
                                "Пары:  ",
                                "3",
                                "1",
                                "2",
                                "",
                                "Матрица корреляций ",
                                "Пары:  ",
                                "П1",
                                "Pair2",
                                "P3",
                                "",
                                ""}));
}

TEST(ReportTables, RegionalSeparatorInValuesAndBandHeader)
{
    TCfgDfm cfg = ReportFixture();
    cfg.Stages[0].FResonance = {2500.5, 0.5};
    NumberFormat comma;
    comma.decimalSeparator = ',';
    TBladeReport r;
    r.Amplitude_IN_THE_RANGE_table(cfg, 0, comma);
    ASSERT_GE(r.LineCount(), 3u);
    EXPECT_EQ(r.Lines()[0], "Таблица размаха на интервале...2500,50..3750,75, об/с");
    EXPECT_EQ(r.Lines()[2], "3" + sp(10) + "0,5000" + sp(16) + "2,0000");
}

TEST(ReportTables, DamagedCountsAreClampedToTheModelCapacities)
{
    TCfgDfm cfg = ReportFixture();
    TStage &st = cfg.Stages[0];
    st.CountBlade = 300;
    st.CountPairs = 40;
    st.CountHarm = 99;
    TBladeReport r;
    r.Harmonic_analysis_table(cfg, 0, kDot);
    EXPECT_EQ(r.LineCount(), 3u + kMaxBlades + 2 * kMaxHarmonics);
    r.Clear();
    r.Blades_NUMERATION_CHECKING_table(cfg, 0, kDot);
    EXPECT_EQ(r.LineCount(), 2u + kMaxBlades + 3 + kMaxPairs + 2);

    st.CountHarm = -3;
    r.Clear();
    r.Harmonic_analysis_table(cfg, 0, kDot);
    EXPECT_EQ(r.Lines()[1], "");
}

TEST(ReportTables, StageIndexOutsideTheModelIsRefused)
{
    TBladeReport r;
    const TCfgDfm cfg = ReportFixture();
    EXPECT_THROW(r.Averaging_results_table(cfg, 5, kDot), ValueError);
    EXPECT_THROW(r.Harmonic_analysis_table(cfg, -1, kDot), ValueError);
    EXPECT_EQ(r.LineCount(), 0u);
}

} // namespace
} // namespace vibrolan

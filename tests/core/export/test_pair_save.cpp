#include "base/errors.hpp"
#include "export/pair_save.hpp"
#include "export_test_support.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <memory>

namespace vibrolan {
namespace {

using test::amplAt;
using test::fixedEnv;
using test::middleAt;
using test::readKeys;
using test::ResultFixture;
using test::samplesOf;
using test::seriesAt;
using test::TempDir;

std::vector<std::string> channelSections(const datafiles::IniDocument &keys)
{
    auto names = keys.sectionNames();
    names.erase(names.begin()); // "ZAMI"
    return names;
}

// With a time code the first 10 revolutions are left out of every channel,
// but only when more than 10 were stored.
struct SkipCase {
    std::int32_t size;
    bool utsChannel;
    std::size_t skip;
};

class TimeCodeSkip : public ::testing::TestWithParam<SkipCase> {};

TEST_P(TimeCodeSkip, WritesUniversalTimeAndSkipsItsLockingRevolutions)
{
    const SkipCase c = GetParam();
    TempDir tmp;
    const TCfgDfm cfg = ResultFixture(c.size, 3, TMode::mdDynamic, true);
    const auto dir = tmp / "run";
    SavePairSeries(cfg, {0, 0}, 1, TSpeedUnit::suRpm, dir, fixedEnv());

    const auto keys = readKeys(dir);
    EXPECT_EQ(keys.readString("ZAMI", "Prod", ""), "Prod");
    EXPECT_EQ(keys.readString("ZAMI", "Test", ""), "Выбег   ");
    std::vector<std::string> expected{"Tacho", "blade1", "blade2", "blade3"};
    if (c.utsChannel)
        expected.insert(expected.begin(), "UTS_Time");
    EXPECT_EQ(channelSections(keys), expected);

    const TPair &p = cfg.Stages[0].Pairs[0];
    const std::size_t n = static_cast<std::size_t>(c.size) - c.skip;
    const std::vector<float> time(p.Time.begin() + static_cast<std::ptrdiff_t>(c.skip), p.Time.end());
    if (c.utsChannel) {
        const std::vector<double> uts(p.UTS_Time.begin() + 10, p.UTS_Time.end());
        EXPECT_EQ(samplesOf<double>(dir / "UTS_Time.dat"), uts);
        EXPECT_EQ(samplesOf<float>(dir / "UTS_Time.x"), time);
        EXPECT_EQ(keys.readString("UTS_Time", "YFormat", ""), "double");
        EXPECT_EQ(keys.readString("UTS_Time", "YUnits", ""), "sec");
        EXPECT_FALSE(keys.hasKey("UTS_Time", "UTS_Channel"));
    }
    const std::vector<float> freq(p.Freq.begin() + static_cast<std::ptrdiff_t>(c.skip), p.Freq.end());
    EXPECT_EQ(samplesOf<float>(dir / "Tacho.dat"), freq);
    EXPECT_EQ(samplesOf<float>(dir / "Tacho.x"), time);
    for (std::size_t b = 0; b < 3; ++b) {
        const std::string name = "blade" + std::to_string(b + 1);
        std::vector<float> ampl;
        for (std::size_t i = c.skip; i < c.skip + n; ++i)
            ampl.push_back(amplAt(b, i));
        EXPECT_EQ(samplesOf<float>(dir / (name + ".dat")), ampl) << name;
        EXPECT_EQ(samplesOf<float>(dir / (name + ".x")), time) << name;
        EXPECT_EQ(keys.readString(name, "UTS_Channel", "none"), c.utsChannel ? "UTS_Time" : "none");
        EXPECT_EQ(keys.readString(name, "YUnits", ""), "мм");
        EXPECT_EQ(keys.readString(name, "XUnits", ""), "sec");
        EXPECT_EQ(keys.readString(name, "k0", ""), "0");
        EXPECT_EQ(keys.readString(name, "k1", ""), "1");
    }
    if (c.utsChannel) {
        EXPECT_EQ(keys.readString("UTS_Time", "k0", ""), "0");
        EXPECT_EQ(keys.readString("UTS_Time", "k1", ""), "1");
    }
    EXPECT_EQ(keys.readString("Tacho", "UTS_Channel", "none"), c.utsChannel ? "UTS_Time" : "none");
}

INSTANTIATE_TEST_SUITE_P(Sizes, TimeCodeSkip,
                         ::testing::Values(SkipCase{11, true, 10}, SkipCase{10, false, 0},
                                           SkipCase{14, true, 10}));

// Blade 2 of the fixture (slot 1) starts one sample into its block, so a
// saver that ignores the run's offset shows here.
struct KindCase {
    TMode mode;
    int kind;
    const char *units;
    float (*value)(std::size_t b, std::size_t i);
};

class KindSeries : public ::testing::TestWithParam<KindCase> {};

TEST_P(KindSeries, SelectsTheSeriesAndUnitsOfTheKind)
{
    const KindCase c = GetParam();
    TempDir tmp;
    const TCfgDfm cfg = ResultFixture(6, 3, c.mode);
    SavePairSeries(cfg, {0, 0}, c.kind, TSpeedUnit::suRpm, tmp / "k", fixedEnv());
    const auto keys = readKeys(tmp / "k");
    EXPECT_EQ(keys.readString("ZAMI", "Test", ""), c.mode == TMode::mdStatic ? "статика " : "Выбег   ");
    for (std::size_t b = 0; b < 3; ++b) {
        std::vector<float> expected;
        for (std::size_t i = 0; i < 6; ++i)
            expected.push_back(c.value(b, i));
        const std::string name = "blade" + std::to_string(b + 1);
        EXPECT_EQ(samplesOf<float>(tmp / "k" / (name + ".dat")), expected) << name;
        EXPECT_EQ(keys.readString(name, "YUnits", "?"), c.units);
    }
}

float distance(std::size_t b, std::size_t i) { return amplAt(b, i) + middleAt(b, i); }
float velocity(std::size_t b, std::size_t i) { return seriesAt(100, b, i); }
float stress(std::size_t b, std::size_t i) { return seriesAt(200, b, i); }
float resonance(std::size_t b, std::size_t i) { return seriesAt(300, b, i); }
float stall(std::size_t b, std::size_t i) { return seriesAt(400, b, i); }

INSTANTIATE_TEST_SUITE_P(Kinds, KindSeries,
                         ::testing::Values(KindCase{TMode::mdDynamic, 0, "мм", distance},
                                           KindCase{TMode::mdStatic, 0, "мм", distance},
                                           KindCase{TMode::mdDynamic, 1, "мм", amplAt},
                                           KindCase{TMode::mdDynamic, 2, "мм/с", velocity},
                                           KindCase{TMode::mdDynamic, 3, "кгс/мм*мм", resonance},
                                           KindCase{TMode::mdStatic, 3, "кгс/мм*мм", stress},
                                           KindCase{TMode::mdDynamic, 4, "", stall},
                                           KindCase{TMode::mdStatic, 4, "", stall}));

TEST(StaticHistogram, WritesDensitiesOverBinEdgesWithoutUniversalTime)
{
    TempDir tmp;
    TCfgDfm cfg = ResultFixture(12, 2, TMode::mdStatic, true);
    TPair &p = cfg.Stages[0].Pairs[0];
    NullMessageSink sink;
    for (std::size_t b = 0; b < 2; ++b) {
        auto h = std::make_shared<THistogramm>(100, -1.0 - static_cast<double>(b), 3.0, sink);
        for (int k = 0; k < 37; ++k)
            h->Add(-0.9 + 0.1 * k * k / 10.0);
        p.histgrms[b] = h;
    }
    SavePairSeries(cfg, {0, 0}, 5, TSpeedUnit::suRpm, tmp / "h", fixedEnv());

    const auto keys = readKeys(tmp / "h");
    EXPECT_EQ(keys.readString("ZAMI", "Test", ""), "статика ");
    EXPECT_EQ(channelSections(keys), (std::vector<std::string>{"UTS_Time", "Tacho", "blade1", "blade2"}));
    EXPECT_EQ(samplesOf<float>(tmp / "h" / "Tacho.dat").size(), 2u); // 12 revolutions less the 10 skipped
    EXPECT_EQ(keys.readString("Tacho", "UTS_Channel", ""), "UTS_Time");
    for (std::size_t b = 0; b < 2; ++b) {
        const std::string name = "blade" + std::to_string(b + 1);
        std::vector<float> dens, edges;
        for (int j = 0; j < 100; ++j) {
            dens.push_back(p.histgrms[b]->readdens(j));
            edges.push_back(static_cast<float>(p.histgrms[b]->bounds()[static_cast<std::size_t>(j)]));
        }
        EXPECT_EQ(samplesOf<float>(tmp / "h" / (name + ".dat")), dens);
        EXPECT_EQ(samplesOf<float>(tmp / "h" / (name + ".x")), edges);
        EXPECT_FALSE(keys.hasKey(name, "UTS_Channel")) << name;
        EXPECT_EQ(keys.readString(name, "YUnits", ""), "плотность");
    }
}

TEST(CompressedKind, WritesTheResonanceCurveAtItsIntervalPointsInTheSavedRevolutions)
{
    TempDir tmp;
    TCfgDfm cfg = ResultFixture(14, 2, TMode::mdDynamic, true);
    TPair &p = cfg.Stages[0].Pairs[0];
    p.CountInterval = 4;
    p.CmprssResnceCurve[0] = {2, 11, 13, 40};   // 2 lies in the skipped revolutions, 40 beyond Size
    p.CmprssResnceCurve[1] = {12, 10, 0, 0, 5}; // only the first CountInterval points count
    SavePairSeries(cfg, {0, 0}, 5, TSpeedUnit::suRpm, tmp / "c", fixedEnv());

    const auto keys = readKeys(tmp / "c");
    EXPECT_EQ(samplesOf<float>(tmp / "c" / "blade1.dat"),
              (std::vector<float>{seriesAt(300, 0, 11), seriesAt(300, 0, 13)}));
    EXPECT_EQ(samplesOf<float>(tmp / "c" / "blade1.x"), (std::vector<float>{p.Time[11], p.Time[13]}));
    EXPECT_EQ(samplesOf<float>(tmp / "c" / "blade2.dat"),
              (std::vector<float>{seriesAt(300, 1, 12), seriesAt(300, 1, 10)}));
    EXPECT_FALSE(keys.hasKey("blade1", "UTS_Channel"));
    EXPECT_EQ(keys.readString("blade1", "YUnits", "?"), "");
}

TEST(ReserveKind, WritesOnlyTheCommonChannels)
{
    TempDir tmp;
    const TCfgDfm cfg = ResultFixture(12, 3, TMode::mdDynamic, true);
    SavePairSeries(cfg, {0, 0}, 6, TSpeedUnit::suRpm, tmp / "r", fixedEnv());
    EXPECT_EQ(channelSections(readKeys(tmp / "r")), (std::vector<std::string>{"UTS_Time", "Tacho"}));
}

TEST(TimeCode, ConfiguredButNotDecodedIsSavedWithoutUniversalTime)
{
    TempDir tmp;
    TCfgDfm cfg = ResultFixture(12, 1, TMode::mdDynamic, true);
    cfg.Stages[0].Pairs[0].UTS_Time.clear(); // data-file input decodes no time code
    SavePairSeries(cfg, {0, 0}, 1, TSpeedUnit::suRpm, tmp / "t", fixedEnv());
    EXPECT_EQ(channelSections(readKeys(tmp / "t")), (std::vector<std::string>{"Tacho", "blade1"}));
    EXPECT_EQ(samplesOf<float>(tmp / "t" / "blade1.dat").size(), 12u);
}

TEST(Slice, HoldsDeflectionsRevolutionByRevolutionWithATurnAxis)
{
    TempDir tmp;
    const TCfgDfm cfg = ResultFixture(4, 3, TMode::mdStatic, true);
    int labels = 0;
    std::string last;
    SavePairSlice(cfg, {0, 0}, 2, TSpeedUnit::suRpm, tmp / "s", fixedEnv(), [&](std::string_view l) {
        ++labels;
        if (!l.empty())
            last = l;
    });
    EXPECT_GT(labels, 0);
    EXPECT_EQ(last, "ТАХО");

    const auto keys = readKeys(tmp / "s");
    EXPECT_EQ(keys.readString("ZAMI", "Test", ""), "Выбег   ");
    EXPECT_EQ(channelSections(keys), (std::vector<std::string>{"ТУВРА", "Tacho"}));
    std::vector<float> expected;
    for (std::size_t i = 0; i < 4; ++i)
        for (std::size_t b = 0; b < 3; ++b)
            expected.push_back(amplAt(b, i) + middleAt(b, i));
    EXPECT_EQ(samplesOf<float>(tmp / "s" / "ТУВРА.dat"), expected);
    EXPECT_FALSE(std::filesystem::exists(tmp / "s" / "ТУВРА.x"));
    const std::vector<std::pair<const char *, const char *>> tuvra = {
        {"ZSize", "4"},       {"ZStep", "1"},        {"ZStart", "1"},    {"ZFormat", "int"},
        {"ZUnits", "оборот"}, {"XUnits", "лопатка"}, {"YUnits", "мм/с"}, {"CharTP", "0x1"},
        {"Freq", "0"},        {"k0", "0"},           {"k1", "1"},        {"YFormat", "single"}};
    for (const auto &[key, value] : tuvra)
        EXPECT_EQ(keys.readString("ТУВРА", key, "?"), value) << key;
    EXPECT_FALSE(keys.hasKey("ТУВРА", "XFormat"));
    EXPECT_FALSE(keys.hasKey("ТУВРА", "UTS_Channel"));
    EXPECT_EQ(keys.readString("Tacho", "XUnits", ""), "sek");
    EXPECT_FALSE(keys.hasKey("Tacho", "UTS_Channel"));
    EXPECT_EQ(samplesOf<float>(tmp / "s" / "Tacho.dat"), cfg.Stages[0].Pairs[0].Freq);
}

// The speed factor is the single 1/60 as the multiplier k1 (k0 stays 0),
// widened and printed with 15 significant digits in the regional format.
TEST(SpeedUnit, NamesTheUnitAndWritesItsFactor)
{
    const struct {
        TSpeedUnit unit;
        char separator;
        const char *units;
        const char *k1;
    } cases[] = {{TSpeedUnit::suHz, ',', "Hz", "0,0166666675359011"},
                 {TSpeedUnit::suHz, '.', "Hz", "0.0166666675359011"},
                 {TSpeedUnit::suRpm, ',', "rpm", "1"}};
    for (const auto &c : cases) {
        TempDir tmp;
        const TCfgDfm cfg = ResultFixture(5);
        SavePairSeries(cfg, {0, 0}, 0, c.unit, tmp / "a", fixedEnv(c.separator));
        SavePairSlice(cfg, {0, 0}, 0, c.unit, tmp / "b", fixedEnv(c.separator));
        for (const auto *set : {"a", "b"}) {
            const auto keys = readKeys(tmp / set);
            EXPECT_EQ(keys.readString("Tacho", "YUnits", ""), c.units) << set;
            EXPECT_EQ(keys.readString("Tacho", "k1", ""), c.k1) << set;
            EXPECT_EQ(keys.readString("Tacho", "k0", ""), "0") << set;
        }
    }
}

TEST(FindPair, TakesTheLastPairOfThatName)
{
    TCfgDfm cfg = ResultFixture(3);
    cfg.CountStage = 2;
    cfg.Stages[0].CountPairs = 3;
    cfg.Stages[0].Pairs[2].NamePair = "P1";
    cfg.Stages[1].CountPairs = 2;
    cfg.Stages[1].Pairs[1].NamePair = "P1";
    cfg.Stages[1].Pairs[5].NamePair = "Q"; // beyond CountPairs
    auto at = FindPairByName(cfg, "P1");
    ASSERT_TRUE(at);
    EXPECT_EQ(at->Stage, 1);
    EXPECT_EQ(at->Pair, 1);
    cfg.CountStage = 1;
    at = FindPairByName(cfg, "P1");
    ASSERT_TRUE(at);
    EXPECT_EQ(at->Pair, 2);
    EXPECT_FALSE(FindPairByName(cfg, "Q"));
    EXPECT_FALSE(FindPairByName(cfg, "p1"));
}

// A request that cannot be saved is refused before anything is created.
TEST(SaveErrors, RefuseWithoutCreatingTheDataSet)
{
    TCfgDfm noVelocity = ResultFixture(5);
    noVelocity.Stages[0].Pairs[0].Velocity[2].clear();
    TCfgDfm noRun = ResultFixture(5);
    noRun.Stages[0].Pairs[0].Time.clear();
    TCfgDfm noHistogram = ResultFixture(5, 3, TMode::mdStatic);
    TCfgDfm shortMiddle = ResultFixture(5);
    shortMiddle.Stages[0].Pairs[0].MiddleLine[0].resize(4);
    const TCfgDfm ok = ResultFixture(5);
    const TCfgDfm okStatic = ResultFixture(5, 3, TMode::mdStatic);

    const struct {
        const char *what;
        const TCfgDfm &cfg;
        TPairLocation at;
        int kind;
        bool slice;
    } cases[] = {{"missing velocity", noVelocity, {0, 0}, 2, false},
                 {"no run", noRun, {0, 0}, 1, false},
                 {"no run, slice", noRun, {0, 0}, 0, true},
                 {"no histogram", noHistogram, {0, 0}, 5, false},
                 {"short middle line, slice", shortMiddle, {0, 0}, 0, true},
                 {"kind 6 in steady state", okStatic, {0, 0}, 6, false},
                 {"kind 7", ok, {0, 0}, 7, true},
                 {"negative kind", ok, {0, 0}, -1, false},
                 {"stage beyond CountStage", ok, {1, 0}, 0, false},
                 {"pair beyond CountPairs", ok, {0, 1}, 0, true}};
    for (const auto &c : cases) {
        TempDir tmp;
        const auto dir = tmp / "x";
        if (c.slice)
            EXPECT_THROW(SavePairSlice(c.cfg, c.at, c.kind, TSpeedUnit::suRpm, dir, fixedEnv()), ValueError)
                << c.what;
        else
            EXPECT_THROW(SavePairSeries(c.cfg, c.at, c.kind, TSpeedUnit::suRpm, dir, fixedEnv()), ValueError)
                << c.what;
        EXPECT_FALSE(std::filesystem::exists(dir)) << c.what;
    }
}

TEST(SaveErrors, AnUnwritableFolderIsAFileError)
{
    TempDir tmp;
    test::writeBytes(tmp / "plain", "x");
    const TCfgDfm cfg = ResultFixture(5);
    EXPECT_THROW(SavePairSeries(cfg, {0, 0}, 1, TSpeedUnit::suRpm, tmp / "plain" / "set", fixedEnv()), Error);
}

TEST(SavedSet, AFolderNameWithTrailingSeparatorNamesTheKeyFileAfterTheFolder)
{
    TempDir tmp;
    const TCfgDfm cfg = ResultFixture(3, 1);
    SavePairSeries(cfg, {0, 0}, 1, TSpeedUnit::suRpm, (tmp / "set").string() + "/", fixedEnv());
    EXPECT_TRUE(std::filesystem::exists(tmp / "set" / "set.zami"));
    EXPECT_THROW(SavePairSeries(cfg, {0, 0}, 1, TSpeedUnit::suRpm, "", fixedEnv()), ValueError);
}

// An existing key file is added to; any other existing file is left alone.
TEST(SavedSet, AnExistingFileIsAddedToOnlyWhenItIsAKeyFile)
{
    TempDir tmp;
    const TCfgDfm cfg = ResultFixture(3, 1);
    test::writeBytes(tmp / "run.lfm", "@DFM...");
    EXPECT_THROW(SavePairSeries(cfg, {0, 0}, 1, TSpeedUnit::suRpm, tmp / "run.lfm", fixedEnv()), ValueError);
    EXPECT_THROW(SavePairSlice(cfg, {0, 0}, 1, TSpeedUnit::suRpm, tmp / "run.lfm", fixedEnv()), ValueError);
    EXPECT_EQ(test::fileBytes(tmp / "run.lfm"), "@DFM...");

    SavePairSeries(cfg, {0, 0}, 1, TSpeedUnit::suRpm, tmp / "set", fixedEnv());
    SavePairSlice(cfg, {0, 0}, 1, TSpeedUnit::suRpm, test::keyFileOf(tmp / "set"), fixedEnv());
    EXPECT_EQ(channelSections(readKeys(tmp / "set")), (std::vector<std::string>{"Tacho", "blade1", "ТУВРА"}));
}

TEST(SavedSet, EmptyPairWritesEmptyChannels)
{
    TempDir tmp;
    const TCfgDfm cfg = ResultFixture(0, 2);
    SavePairSeries(cfg, {0, 0}, 0, TSpeedUnit::suRpm, tmp / "e", fixedEnv());
    EXPECT_EQ(channelSections(readKeys(tmp / "e")), (std::vector<std::string>{"Tacho", "blade1", "blade2"}));
    EXPECT_TRUE(samplesOf<float>(tmp / "e" / "blade1.dat").empty());
}

} // namespace
} // namespace vibrolan

#include "base/errors.hpp"
#include "export/data_file_input.hpp"
#include "export/pair_save.hpp"
#include "export_test_support.hpp"
#include "output/data_file.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

namespace vibrolan {
namespace {

using test::amplAt;
using test::bytesOf;
using test::fixedEnv;
using test::ResultFixture;
using test::TempDir;

// A ZAMI data set of channels with values and (optionally) single arguments.
struct Channel {
    std::string name;
    std::vector<float> y;
    std::vector<float> x; // empty: no argument file
};

std::filesystem::path writeDataSet(const std::filesystem::path &dir, const std::string &test,
                                   const std::vector<Channel> &channels)
{
    TDataF df(fixedEnv());
    df.CreateNew(dir, "Prod", test, ftZami, 2, 0, 0.0f, "");
    for (const auto &c : channels)
        df.AddBuffer(static_cast<std::int32_t>(c.y.size()), "single", c.x.empty() ? "uniform" : "single",
                     bytesOf(c.y), bytesOf(c.x), c.name, "sens", "мм", "rpm", 50.0f, 0, 0.0f, 1.0f, nullptr);
    return test::keyFileOf(dir);
}

std::vector<float> firstOf(const TArrSingle &v, std::size_t n)
{
    return {v.begin(), v.begin() + static_cast<std::ptrdiff_t>(n)};
}

std::vector<float> counting(std::size_t n)
{
    std::vector<float> v(n);
    for (std::size_t k = 0; k < n; ++k)
        v[k] = static_cast<float>(k);
    return v;
}

// A pair saved in run-through mode comes back through the run-down path: every
// channel in file order becomes a blade series, as the file describes its
// values (stored value * k1 + k0), the last channel's
// argument (the revolution times) the speed series, and Time counts samples.
TEST(DataFileInput, ReadsASavedRunThroughPairBack)
{
    TempDir tmp;
    const TCfgDfm saved = ResultFixture(7, 3, TMode::mdDynamic);
    const TPair &src = saved.Stages[0].Pairs[0];
    SavePairSeries(saved, {0, 0}, 1, TSpeedUnit::suRpm, tmp / "run", fixedEnv());

    TCfgDfm cfg;
    cfg.CountStage = 1;
    cfg.Stages[0].Pairs[1].Size = 42; // pair 1 has no file and keeps its state
    RecordingMessageSink sink;
    const std::vector<std::filesystem::path> files{test::keyFileOf(tmp / "run")};
    const TDataFileInput in = OpenDataFiles(cfg, files, sink, fixedEnv());

    EXPECT_TRUE(sink.messages().empty());
    EXPECT_EQ(cfg.TypeFile, 1);
    EXPECT_TRUE(in.Loaded[0]);
    EXPECT_FALSE(in.Loaded[1]);
    EXPECT_TRUE(in.TachoPresent);
    EXPECT_EQ(in.RevCount0, 7u);
    const TPair &p = cfg.Stages[0].Pairs[0];
    ASSERT_EQ(p.Size, 7);
    EXPECT_EQ(cfg.Stages[0].Pairs[1].Size, 42);
    EXPECT_EQ(p.Ampl[0], src.Freq);
    for (std::size_t b = 0; b < 3; ++b) {
        std::vector<float> ampl;
        for (std::size_t i = 0; i < 7; ++i)
            ampl.push_back(amplAt(b, i));
        EXPECT_EQ(p.Ampl[b + 1], ampl) << "blade " << b + 1;
        EXPECT_EQ(p.AmplOffs[b + 1], 0);
    }
    EXPECT_TRUE(p.Ampl[4].empty());
    EXPECT_EQ(p.Freq, src.Time);
    EXPECT_EQ(p.Time, counting(7));
}

// The deflections (kind 0: dynamic part + middle line) and the speed in Hz
// come back as the run held them, whichever decimal separator the key file
// uses: the saver's k0 is 0 and its speed factor is the multiplier k1.
TEST(DataFileInput, DeflectionsAndSpeedInHzComeBackExactly)
{
    for (const char sep : {'.', ','}) {
        TempDir tmp;
        const TCfgDfm saved = ResultFixture(9, 3, TMode::mdDynamic);
        const TPair &src = saved.Stages[0].Pairs[0];
        SavePairSeries(saved, {0, 0}, 0, TSpeedUnit::suHz, tmp / "hz", fixedEnv(sep));

        TCfgDfm cfg;
        RecordingMessageSink sink;
        const std::vector<std::filesystem::path> files{test::keyFileOf(tmp / "hz")};
        OpenDataFiles(cfg, files, sink, fixedEnv(sep));
        EXPECT_TRUE(sink.messages().empty());
        const TPair &p = cfg.Stages[0].Pairs[0];
        ASSERT_EQ(p.Size, 9) << sep;
        ASSERT_EQ(p.Ampl[0].size(), 9u) << sep;
        for (std::size_t i = 0; i < 9; ++i)
            EXPECT_NEAR(p.Ampl[0][i], src.Freq[i] / 60.0, 1e-6 * src.Freq[i] / 60.0) << sep << " " << i;
        for (std::size_t b = 0; b < 3; ++b)
            for (std::size_t i = 0; i < 9; ++i)
                EXPECT_EQ(p.Ampl[b + 1][i], amplAt(b, i) + test::middleAt(b, i)) << sep << " blade " << b + 1;
    }
}

// Two run-down files fill pairs 0 and 1; a recording keeps its position in
// the selection, so a file after it feeds the pair after the next.
TEST(DataFileInput, FillsOnePairPerSelectionPosition)
{
    TempDir tmp;
    const auto a = writeDataSet(tmp / "a", "Выбег   ", {{"b1", {1.5f, 2.5f, 3.5f}, {900, 800, 700}}});
    const auto b =
        writeDataSet(tmp / "b", "Выбег   ",
                     {{"b1", {4, 5, 6, 7}, {1000, 990, 980, 970}}, {"b2", {8, 9, 10, 11}, {1, 2, 3, 4}}});
    const auto c = writeDataSet(tmp / "c", "статика ", {{"b1", {0.5f, 0.25f}, {10.0f, 10.5f}}});
    RecordingMessageSink sink;
    TCfgDfm cfg;
    const std::vector<std::filesystem::path> files{a, b, tmp / "rec.bld", c};
    const TDataFileInput in = OpenDataFiles(cfg, files, sink, fixedEnv());

    EXPECT_TRUE(sink.messages().empty());
    EXPECT_EQ(in.Loaded, (std::array<bool, 5>{true, true, false, true, false}));
    const auto &pairs = cfg.Stages[0].Pairs;
    EXPECT_EQ(pairs[0].Size, 3);
    EXPECT_EQ(pairs[0].Ampl[0], (std::vector<float>{1.5f, 2.5f, 3.5f}));
    EXPECT_EQ(pairs[0].Freq, (std::vector<float>{900, 800, 700}));
    EXPECT_EQ(pairs[0].Time, counting(3));
    EXPECT_EQ(pairs[1].Size, 4);
    EXPECT_EQ(pairs[1].Ampl[1], (std::vector<float>{8, 9, 10, 11}));
    EXPECT_EQ(pairs[1].Freq, (std::vector<float>{1, 2, 3, 4})); // the last channel's argument
    EXPECT_EQ(pairs[2].Size, 0);
    // Not a run-down: the argument is time, the speed is unknown.
    EXPECT_EQ(pairs[3].Size, 2);
    EXPECT_EQ(pairs[3].Time, (std::vector<float>{10.0f, 10.5f}));
    EXPECT_EQ(pairs[3].Freq, (std::vector<float>{0, 0}));
    EXPECT_EQ(in.RevCount0, 4u); // the last run-down file's channel 0
}

// A channel without stored arguments (a PRAX file never has any) gets the
// evenly spaced axis of its sampling frequency. PRAX keeps seven characters
// of the test name, so even a run-down name reads as another test.
TEST(DataFileInput, ChannelWithoutArgumentGetsItsEvenAxis)
{
    TempDir tmp;
    TDataF prx(fixedEnv());
    prx.CreateNew(tmp / "old.prx", "Prod", "Выбег   ", ftPrx, 2, 0, 0.0f, "");
    const std::vector<std::int16_t> raw{10, -20, 30, 40};
    prx.AddBuffer(4, "int", "uniform", bytesOf(raw), {}, "b1", "sens", "мм", "sec", 4.0f, 0, 0.5f, 0.25f,
                  nullptr);
    prx.Destroy();

    TCfgDfm cfg;
    RecordingMessageSink sink;
    const std::vector<std::filesystem::path> files{tmp / "old.prx"};
    const TDataFileInput in = OpenDataFiles(cfg, files, sink, fixedEnv());
    EXPECT_TRUE(in.Loaded[0]);
    EXPECT_FALSE(in.TachoPresent);
    const TPair &p = cfg.Stages[0].Pairs[0];
    EXPECT_EQ(p.Ampl[0], (std::vector<float>{3.0f, -4.5f, 8.0f, 10.5f}));
    EXPECT_EQ(p.Time, (std::vector<float>{0.0f, 0.25f, 0.5f, 0.75f}));
    EXPECT_EQ(p.Size, 4);
}

// Nothing in the pair may be shorter than Size, and the pair's earlier
// results (another run's offsets and derived series) are gone.
TEST(DataFileInput, ChannelsOfDifferentLengthsGiveTheShortestAndOldResultsGo)
{
    TempDir tmp;
    const auto f = writeDataSet(tmp / "d", "Выбег   ",
                                {{"b1", {1, 2, 3, 4, 5}, {5, 4, 3, 2, 1}}, {"b2", {6, 7, 8}, {}}});
    TCfgDfm cfg = ResultFixture(9, 3);
    RecordingMessageSink sink;
    const std::vector<std::filesystem::path> files{f};
    OpenDataFiles(cfg, files, sink, fixedEnv());

    const TPair &p = cfg.Stages[0].Pairs[0];
    EXPECT_EQ(p.Size, 3);
    EXPECT_EQ(p.Ampl[0].size(), 5u);
    EXPECT_EQ(firstOf(p.Ampl[0], 3), (std::vector<float>{1, 2, 3}));
    EXPECT_EQ(p.Ampl[1], (std::vector<float>{6, 7, 8}));
    EXPECT_EQ(p.AmplOffs[1], 0);
    EXPECT_EQ(p.Freq, (std::vector<float>{0.0f, 0.02f, 0.04f})); // b2's even axis at 50 per unit
    EXPECT_EQ(p.Time, counting(3));
    EXPECT_TRUE(p.Ampl[2].empty());
    EXPECT_TRUE(p.Velocity[0].empty());
    ASSERT_EQ(sink.messages().size(), 1u);
    EXPECT_NE(sink.messages()[0].text.find("3 samples"), std::string::npos);
}

TEST(DataFileInput, BadFilesAreReportedAndTheOthersStillTaken)
{
    TempDir tmp;
    const auto good = writeDataSet(tmp / "g", "Выбег   ", {{"b1", {1, 2}, {3, 4}}});
    const auto empty = writeDataSet(tmp / "e", "Выбег   ", {});
    test::writeBytes(tmp / "broken.prx", "PRAX");
    TCfgDfm cfg;
    cfg.Stages[0].Pairs[1].Size = 17;
    RecordingMessageSink sink;
    const std::vector<std::filesystem::path> files{
        tmp / "missing.zami", tmp / "broken.prx", empty, good, good, good};
    const TDataFileInput in = OpenDataFiles(cfg, files, sink, fixedEnv());

    EXPECT_EQ(in.Loaded, (std::array<bool, 5>{false, false, false, true, true}));
    EXPECT_EQ(cfg.Stages[0].Pairs[1].Size, 17);
    EXPECT_EQ(cfg.Stages[0].Pairs[4].Size, 2);
    ASSERT_EQ(sink.messages().size(), 4u);
    for (const auto &m : sink.messages())
        EXPECT_EQ(m.caption, "Файл данных");
    EXPECT_NE(sink.messages()[0].text.find("missing.zami"), std::string::npos);
    EXPECT_NE(sink.messages()[3].text.find("at most 5"), std::string::npos);
}

} // namespace
} // namespace vibrolan

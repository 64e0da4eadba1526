#include "base/errors.hpp"
#include "export/data_file_info.hpp"
#include "export/pair_save.hpp"
#include "export_test_support.hpp"
#include "output/data_file.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

namespace vibrolan {
namespace {

using test::fixedEnv;
using test::TempDir;

TEST(DataFileInfo, DescribesASavedDataSetChannelByChannel)
{
    TempDir tmp;
    const TCfgDfm cfg = test::ResultFixture(5, 2);
    SavePairSeries(cfg, {0, 0}, 1, TSpeedUnit::suHz, tmp / "set", fixedEnv());
    const std::string text = DescribeDataFile(test::keyFileOf(tmp / "set"), fixedEnv());
    EXPECT_EQ(text,
              "data file: " + test::keyFileOf(tmp / "set").string() +
                  "\n"
                  "format: ZAMI\n"
                  "product: \"Prod\"\n"
                  "test: \"Выбег   \" (run-down: the arguments are rotation speeds)\n"
                  "date: \"30.12.1899\"\n"
                  "channels: 3\n"
                  "channel 1 \"Tacho\": 5 samples, values single in \"Hz\", argument single in \"sec\", "
                  "frequency 100, k0 0, k1 0.0166666675\n"
                  "channel 2 \"blade1\": 5 samples, values single in \"мм\", argument single in \"sec\", "
                  "frequency 100, k0 0, k1 1\n"
                  "channel 3 \"blade2\": 5 samples, values single in \"мм\", argument single in \"sec\", "
                  "frequency 100, k0 0, k1 1\n");
}

TEST(DataFileInfo, DescribesAPraxFileAndRefusesWhatItCannotRead)
{
    TempDir tmp;
    TDataF prx(fixedEnv());
    prx.CreateNew(tmp / "old.prx", "Изд", "стенд", ftPrx, 2, 0, 0.0f, "");
    const std::vector<std::int16_t> raw{1, 2, 3};
    prx.AddBuffer(3, "int", "uniform", test::bytesOf(raw), {}, "b1", "sens", "мм", "sec", 4.0f, 0, 0.5f,
                  0.25f, nullptr);
    prx.Destroy();
    const std::string text = DescribeDataFile(tmp / "old.prx", fixedEnv());
    EXPECT_NE(text.find("format: PRAX\n"), std::string::npos) << text;
    EXPECT_NE(text.find("test: \"стенд\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("channel 1 \"b1\": 3 samples, values int in \"мм\", argument uniform"),
              std::string::npos)
        << text;
    EXPECT_THROW(DescribeDataFile(tmp / "none.zami", fixedEnv()), Error);
}

} // namespace
} // namespace vibrolan

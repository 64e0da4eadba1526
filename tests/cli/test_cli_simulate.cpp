#include "support/run_process.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using vibrolan::test::runProcess;
using vibrolan::test::TempDir;

TEST(CliSimulate, WritesRecordingConfigurationAndTruth)
{
    TempDir dir;
    const auto r =
        runProcess(VIBROLAN_CLI_PATH, {"simulate", "steady", "--out", dir.path().string(), "--name", "demo",
                                       "--bldx", "--seed", "7", "--scale", "0.05", "--threads", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char *f : {"demo.bld", "demo.bldx", "demo.lfm", "demo.truth.csv"})
        EXPECT_TRUE(std::filesystem::exists(dir / f)) << f;
    EXPECT_NE(r.out.find("stage St1 pair Pa1: "), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("simulating: 100%"), std::string::npos) << r.err;
}

TEST(CliSimulate, BadInputIsAClearErrorAndWritesNothing)
{
    TempDir dir;
    const auto out = dir.path().string();
    const auto unknown = runProcess(VIBROLAN_CLI_PATH, {"simulate", "sideways", "--out", out});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("unknown preset \"sideways\""), std::string::npos) << unknown.err;

    std::ofstream(dir / "bad.json") << R"({"duration_s": 1, "speed": {"steady_rpm": 6000}, "stages": [
        {"blades": 300, "diameter_mm": 500, "probes": [], "pairs": []}]})";
    const auto bad =
        runProcess(VIBROLAN_CLI_PATH, {"simulate", "--scenario", (dir / "bad.json").string(), "--out", out});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("stages[0].blades"), std::string::npos) << bad.err;

    const auto noOut = runProcess(VIBROLAN_CLI_PATH, {"simulate", "steady"});
    EXPECT_EQ(noOut.status, 1);
    EXPECT_NE(noOut.err.find("--out"), std::string::npos) << noOut.err;

    const auto badSeed = runProcess(VIBROLAN_CLI_PATH, {"simulate", "steady", "--out", out, "--seed", "x"});
    EXPECT_EQ(badSeed.status, 1);
    for (const char *threads : {"0", "17", "two"}) {
        const auto badThreads =
            runProcess(VIBROLAN_CLI_PATH, {"simulate", "steady", "--out", out, "--threads", threads});
        EXPECT_EQ(badThreads.status, 1) << threads;
        EXPECT_NE(badThreads.err.find("--threads needs a whole number"), std::string::npos) << badThreads.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "steady.bld"));
}

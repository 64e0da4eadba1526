// A configuration moved together with its recording still finds it: a
// relative recording name is looked up beside the configuration first, a
// recording given on the command line is taken from the working directory.
#include "base/message_sink.hpp"
#include "config/cfg_dfm.hpp"
#include "support/run_process.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

using vibrolan::test::runProcess;
using vibrolan::test::TempDir;

namespace {

// The CLI run from another working directory.
vibrolan::test::ProcessResult runIn(const std::filesystem::path &cwd, const std::vector<std::string> &args)
{
    std::vector<std::string> all{"-c", "cd \"$0\" && exec \"$@\"", cwd.string(), VIBROLAN_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    return runProcess("/bin/sh", all, 60);
}

TEST(CliRelativeRecording, IsFoundBesideTheConfiguration)
{
    TempDir dir;
    const auto moved = dir / "moved";
    std::filesystem::create_directories(moved);
    const auto sim = runProcess(VIBROLAN_CLI_PATH,
                                {"simulate", "steady", "--out", moved.string(), "--name", "sim", "--seed",
                                 "2", "--scale", "0.02", "--no-truth"},
                                60);
    ASSERT_EQ(sim.status, 0) << sim.err;
    {
        vibrolan::TCfgDfm cfg;
        cfg.LoadFromFile(moved / "sim.lfm");
        cfg.FileName = "sim.bld"; // as a configuration written beside its recording names it
        vibrolan::RecordingMessageSink notices;
        cfg.SaveToFile(moved / "sim.lfm", notices);
    }
    std::filesystem::create_directories(dir / "elsewhere");
    const auto r = runIn(dir / "elsewhere", {"analyze", (moved / "sim.lfm").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("pair Pa1: "), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("does not exist"), std::string::npos) << r.err;

    // Relative to the configuration's folder given as a relative path too.
    const auto rel = runIn(dir.path(), {"analyze", "moved/sim.lfm"});
    EXPECT_EQ(rel.status, 0) << rel.err;

    // A recording named on the command line is the working directory's.
    const auto cmd = runIn(moved, {"analyze", "sim.lfm", "--recording", "sim.bld"});
    EXPECT_EQ(cmd.status, 0) << cmd.err;
    const auto missing =
        runIn(dir / "elsewhere", {"analyze", (moved / "sim.lfm").string(), "--recording", "sim.bld"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("does not exist"), std::string::npos) << missing.err;
}

} // namespace

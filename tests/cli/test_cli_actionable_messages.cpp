// Messages name the file, the place and what to do.
#include "support/run_process.hpp"
#include "support/temp_dir.hpp"

#include "base/file_io.hpp"
#include "base/message_sink.hpp"
#include "config/cfg_dfm.hpp"

#include <gtest/gtest.h>

using vibrolan::test::runProcess;
using vibrolan::test::TempDir;

namespace {

bool contains(const std::string &s, const std::string &part) { return s.find(part) != std::string::npos; }

TEST(CliMessages, NameTheFileThePlaceAndWhatToDo)
{
    TempDir dir;
    // A configuration that names no recording.
    {
        vibrolan::TCfgDfm cfg;
        cfg.InitDefault();
        cfg.FileName.clear();
        vibrolan::RecordingMessageSink notices;
        cfg.SaveToFile(dir / "none.lfm", notices);
    }
    const std::string none = (dir / "none.lfm").string();
    auto r = runProcess(VIBROLAN_CLI_PATH, {"analyze", none}, 60);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(
        contains(r.err, "the configuration " + none + " names no recording: give one with --recording FILE"))
        << r.err;
    r = runProcess(VIBROLAN_CLI_PATH, {"export", none, "--pair", "x", "--out", (dir / "o").string()}, 60);
    EXPECT_EQ(r.status, 1);

    // A recording the configuration names that is not there.
    {
        vibrolan::TCfgDfm cfg;
        cfg.InitDefault();
        cfg.FileName = (dir / "gone.bld").string();
        vibrolan::RecordingMessageSink notices;
        cfg.SaveToFile(dir / "gone.lfm", notices);
    }
    r = runProcess(VIBROLAN_CLI_PATH, {"analyze", (dir / "gone.lfm").string()}, 60);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "gone.bld\" does not exist (named by " + (dir / "gone.lfm").string() +
                                    "); give the recording with --recording FILE"))
        << r.err;

    // export takes one kind of input, as analyze does.
    r = runProcess(VIBROLAN_CLI_PATH,
                   {"export", none, "--pair", "x", "--out", (dir / "o").string(), "--recording", "a.bld",
                    "--data", "b.zami"},
                   60);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "--recording and --data are two kinds of input")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "o"));
}

} // namespace

#include "base/file_io.hpp"
#include "base/message_sink.hpp"
#include "config/cfg_dfm.hpp"
#include "config/cfg_rec_blade.hpp"
#include "support/run_process.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

using vibrolan::test::runProcess;
using vibrolan::test::TempDir;

namespace {

bool contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(CliConfig, DefaultThenShow)
{
    TempDir dir;
    const auto out = (dir / "default.lfm").string();
    auto made = runProcess(VIBROLAN_CLI_PATH, {"config", "default", out});
    ASSERT_EQ(made.status, 0) << made.err;

    vibrolan::TCfgDfm reference;
    reference.InitDefault();
    EXPECT_EQ(vibrolan::readWholeFile(out), reference.SaveToBytes());

    auto shown = runProcess(VIBROLAN_CLI_PATH, {"config", "show", out});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_TRUE(contains(shown.out, "stage 0: \"St№1\", kind 1 \"Бандажированная\"")) << shown.out;
    EXPECT_TRUE(contains(shown.out, "sensor 2: \"O\", channel 1, kind 4 \"Оборотный\"")) << shown.out;
    EXPECT_TRUE(contains(shown.out, "pair 0: \"Pair№1\", checked"));
    EXPECT_TRUE(contains(shown.out, "numbering: 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20\n"));
    EXPECT_TRUE(contains(shown.out, "rotation guard: 1 .. 20"));
}

TEST(CliConfig, ImportRecorderSetUp)
{
    TempDir dir;
    const auto rbd = dir / "stand.rbd";
    {
        vibrolan::NullMessageSink sink;
        vibrolan::TCfgRecBlade rec(sink);
        rec.InitDefault();
        rec.Comm = "стенд 2";
        rec.SaveToFile(rbd, sink);
    }
    auto shown = runProcess(VIBROLAN_CLI_PATH, {"config", "show", rbd.string()});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_TRUE(contains(shown.out, "recorder configuration"));
    EXPECT_TRUE(contains(shown.out, "channel 15: number 16, sensor \"D16\""));
    EXPECT_TRUE(contains(shown.out, "comment: \"стенд 2\""));

    const auto lfm = (dir / "stand.lfm").string();
    auto imported = runProcess(VIBROLAN_CLI_PATH, {"config", "import", rbd.string(), lfm});
    ASSERT_EQ(imported.status, 0) << imported.err;
    auto again = runProcess(VIBROLAN_CLI_PATH, {"config", "show", lfm});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(contains(again.out, "stage 1: \"2-nd_stage\""));
    EXPECT_TRUE(contains(again.out, "pair 0: \"2-st_stage pair\", not checked"));
    EXPECT_TRUE(contains(again.out, "sensors: 16"));
}

TEST(CliConfig, BadFilesAndArgumentsFailClearly)
{
    TempDir dir;
    const auto foreign = dir / "foreign.lfm";
    vibrolan::writeFileAtomically(foreign, std::string_view("MZ not a configuration at all"));
    auto r = runProcess(VIBROLAN_CLI_PATH, {"config", "show", foreign.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "Invalid image: not a configuration of this kind (it starts with \"MZ n\" "
                                "instead of \"@DFM\"); name an .lfm file"))
        << r.err;
    EXPECT_TRUE(contains(r.err, "foreign.lfm")) << r.err;

    const auto cut = dir / "cut.lfm";
    vibrolan::writeFileAtomically(cut, std::string_view("@DFM\x06\x05"
                                                        "ab"));
    r = runProcess(VIBROLAN_CLI_PATH, {"config", "show", cut.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err,
                         "ошчтфайла: the value at byte 4 runs past the end of the file (8 bytes); the file "
                         "is truncated"))
        << r.err;

    r = runProcess(VIBROLAN_CLI_PATH, {"config", "show", (dir / "missing.lfm").string()});
    EXPECT_EQ(r.status, 1);

    r = runProcess(VIBROLAN_CLI_PATH, {"config", "default", (dir / "noext").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "extension")) << r.err;

    r = runProcess(VIBROLAN_CLI_PATH, {"config", "import", foreign.string(), (dir / "x.lfm").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "Invalid image")) << r.err;

    r = runProcess(VIBROLAN_CLI_PATH, {"config"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(contains(r.err, "usage:"));
}

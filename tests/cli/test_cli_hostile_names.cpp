// Names from a file (channels, sensors, stages, pairs) that hold terminal
// controls reach the terminal only as escapes: no ESC, BEL or carriage
// return is sent, and a line feed inside a name cannot start a forged line.
#include "base/code_pages.hpp"
#include "base/message_sink.hpp"
#include "base/terminal_text.hpp"
#include "config/cfg_dfm.hpp"
#include "recording/recording_header.hpp"
#include "recording/recording_image.hpp"
#include "support/run_process.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

using vibrolan::test::runProcess;
using vibrolan::test::TempDir;
using namespace vibrolan;

namespace {

const std::string kHostile = "A\x1b[2J\x07\rB\nforged: line";

// Only line feeds and tabs of all controls; no line begins with the forged text.
void expectSafe(const std::string &out)
{
    for (unsigned char c : out)
        if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F)
            ADD_FAILURE() << "control byte " << int(c) << " printed:\n" << out;
    EXPECT_EQ(out.find("\nforged"), std::string::npos) << out;
}

TEST(CliHostileNames, ArePrintedEscaped)
{
    TempDir dir;
    RecordingHeader h;
    h.RecorderCode = 1200;
    h.channels = {{1, 0, kHostile, 4}, {2, 0, "P", 1}};
    std::vector<TIndex> recs;
    for (std::uint32_t i = 0; i < 100; ++i)
        recs.push_back({static_cast<std::uint8_t>(i % 2), 0, 1000 + 40000 * i});
    writeRecordingFile(dir / "run.bld", h, recs);
    const auto info = runProcess(VIBROLAN_CLI_PATH, {"info", (dir / "run.bld").string()}, 60);
    EXPECT_EQ(info.status, 0) << info.err;
    expectSafe(info.out);
    EXPECT_NE(info.out.find("name \"" + EscapeControls(kHostile) + "\""), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("A\\x1b[2J\\x07\\rB\\nforged: line"), std::string::npos) << info.out;

    TCfgDfm cfg;
    cfg.InitDefault();
    cfg.CountSensors = 1;
    cfg.Sensors[0].NameSensor = kHostile;
    cfg.CountStage = 1;
    cfg.Stages[0].NameStage = kHostile;
    cfg.Stages[0].CountPairs = 1;
    cfg.Stages[0].Pairs[0].NamePair = kHostile;
    cfg.FileName = (dir / "run.bld").string();
    RecordingMessageSink notices;
    cfg.SaveToFile(dir / "hostile.lfm", notices);
    ASSERT_TRUE(notices.messages().empty());
    const auto show = runProcess(VIBROLAN_CLI_PATH, {"config", "show", (dir / "hostile.lfm").string()}, 60);
    EXPECT_EQ(show.status, 0) << show.err;
    expectSafe(show.out);
    EXPECT_GE(std::count(show.out.begin(), show.out.end(), '\\'), 3 * 4) << show.out;

    // Whatever the analysis prints and says about the names stays escaped too.
    const auto run = runProcess(VIBROLAN_CLI_PATH, {"analyze", (dir / "hostile.lfm").string()}, 60);
    expectSafe(run.out);
    for (unsigned char c : run.err)
        if (c == 0x1b || c == 0x07)
            ADD_FAILURE() << "control byte " << int(c) << " on the error stream:\n" << run.err;
}

} // namespace

// A path naming a FIFO (or another file that is not a regular one) is refused
// with a clear message, never read: reading it would wait for a writer forever.
// Every run has a time limit, so a regression fails instead of hanging.
#include "base/message_sink.hpp"
#include "config/cfg_dfm.hpp"
#include "support/run_process.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

using vibrolan::test::runProcess;
using vibrolan::test::TempDir;

namespace {

TEST(CliNonRegularFiles, AreRefusedBeforeReading)
{
    TempDir dir;
    const auto sim = runProcess(VIBROLAN_CLI_PATH,
                                {"simulate", "steady", "--out", dir.path().string(), "--name", "sim",
                                 "--seed", "3", "--scale", "0.02"},
                                60);
    ASSERT_EQ(sim.status, 0) << sim.err;
    for (const char *name :
         {"fifo.bld", "fifo.bldx", "fifo.lfm", "fifo.rbd", "fifo.zami", "fifo.prx", "fifo.gat"})
        ASSERT_EQ(::mkfifo((dir / name).c_str(), 0600), 0) << name;
    const std::string lfm = (dir / "sim.lfm").string();
    const auto fifo = [&](const char *name) { return (dir / name).string(); };

    // A configuration whose gate file is a FIFO.
    {
        vibrolan::TCfgDfm cfg;
        cfg.LoadFromFile(lfm);
        cfg.UseGates = true;
        cfg.NmGates = fifo("fifo.gat");
        vibrolan::RecordingMessageSink notices;
        cfg.SaveToFile(dir / "gated.lfm", notices);
    }
    const std::string out = (dir / "out").string();
    const std::vector<std::vector<std::string>> commands = {
        {"info", fifo("fifo.bld")},
        {"info", fifo("fifo.bldx")},
        {"info", fifo("fifo.zami")},
        {"config", "show", fifo("fifo.lfm")},
        {"config", "show", fifo("fifo.rbd")},
        {"config", "import", fifo("fifo.rbd"), (dir / "imported.lfm").string()},
        {"analyze", fifo("fifo.lfm")},
        {"analyze", lfm, "--recording", fifo("fifo.bld")},
        {"analyze", lfm, "--recording", fifo("fifo.bldx")},
        {"analyze", (dir / "gated.lfm").string()},
        {"analyze", lfm, "--data", fifo("fifo.zami")},
        {"analyze", lfm, "--data", fifo("fifo.prx")},
        {"export", lfm, "--pair", "Pa1", "--out", out, "--recording", fifo("fifo.bld")},
        {"export", lfm, "--pair", "Pa1", "--out", out, "--data", fifo("fifo.zami")},
    };
    for (const auto &args : commands) {
        std::string line;
        for (const auto &a : args)
            line += " " + a;
        SCOPED_TRACE(line);
        const auto r = runProcess(VIBROLAN_CLI_PATH, args, 10);
        ASSERT_FALSE(r.timedOut) << "hung on a FIFO";
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("FIFO"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "imported.lfm"));
}

} // namespace

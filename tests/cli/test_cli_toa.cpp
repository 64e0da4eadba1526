// vibrolan-cli simulate-signals and toa as a user runs them: simulated
// probe signals to a recording and a starter configuration that the
// analysis reads as it is; a summary per channel; options and input it
// refuses with the reason and a non-zero status, writing nothing.
#include "support/run_process.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using vibrolan::test::runProcess;
using vibrolan::test::TempDir;

namespace {

const char *const kScenario = R"({"name": "sig", "duration_s": 0.6, "speed": {"steady_rpm": 3000},
    "stages": [{"name": "S1", "blades": 16, "diameter_mm": 600,
      "probes": [{"name": "K1", "channel": 2, "kind": "root", "angle_deg": 20},
                 {"name": "P1", "channel": 3, "kind": "tip", "angle_deg": 23.2}],
      "pairs": [{"name": "Pa1", "root": "K1", "tip": "P1"}]}]})";

TEST(CliToa, SignalsToARecordingThatTheAnalysisReads)
{
    TempDir dir;
    std::ofstream(dir / "sc.json") << kScenario;
    const auto sim = runProcess(VIBROLAN_CLI_PATH,
                                {"simulate-signals", "--scenario", (dir / "sc.json").string(), "--out",
                                 dir.path().string(), "--rate", "1e6", "--snr", "40", "--format", "int16"});
    ASSERT_EQ(sim.status, 0) << sim.err;
    EXPECT_NE(sim.out.find("sig.signals.json"), std::string::npos);

    const auto r = runProcess(
        VIBROLAN_CLI_PATH, {"toa", (dir / "sig.signals.json").string(), "--out", (dir / "rec.bld").string(),
                            "--tacho", "O", "--threshold", "0", "--hysteresis", "20%", "--pair", "K1,P1",
                            "--clock", "1280", "--diameter", "600", "--precise", "--min-spacing", "2e-5"});
    ASSERT_EQ(r.status, 0) << r.err;
    // 30 revolutions of 16 blades in 0.6 s; the first mark lies at the
    // first sample, half of it before the signals begin, and is not seen.
    EXPECT_NE(r.out.find("channel 1 O (Оборотный): 29 pulses"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("channel 2 K1 (Корневой): 464 pulses, 773.333 per s"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("channel 3 P1 (Периферийный): 464 pulses"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("(16 blades, to be completed)"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("triggering: 100%"), std::string::npos);
    EXPECT_NE(r.err.find("samples/s"), std::string::npos);

    const auto info = runProcess(VIBROLAN_CLI_PATH, {"info", (dir / "rec.bld").string()});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("recorder code: 1280"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("channel 2: name \"K1\", attribute 0, sensor type 0 (srRoot)"), std::string::npos)
        << info.out;
    const auto analysis = runProcess(VIBROLAN_CLI_PATH, {"analyze", (dir / "rec.lfm").string()});
    ASSERT_EQ(analysis.status, 0) << analysis.err;
    EXPECT_NE(analysis.out.find("Pa1"), std::string::npos);
}

TEST(CliToa, BadOptionsAndInputAreRefusedAndNothingIsWritten)
{
    TempDir dir;
    std::ofstream(dir / "sc.json") << kScenario;
    ASSERT_EQ(runProcess(VIBROLAN_CLI_PATH, {"simulate-signals", "--scenario", (dir / "sc.json").string(),
                                             "--out", dir.path().string(), "--rate", "5e5"})
                  .status,
              0);
    const std::string sig = (dir / "sig.signals.json").string(), out = (dir / "rec.bld").string();
    struct Case {
        std::vector<std::string> args;
        const char *message;
    } cases[] = {
        {{"toa", sig, "--out", out, "--threshold", "1,5x"}, "\"5x\" is not a level"},
        {{"toa", sig, "--out", out, "--edge", "up"}, "--edge needs rising or falling"},
        {{"toa", sig, "--out", out, "--clock", "1300"}, "1200 (25 ns) or 1280 (12.5 ns)"},
        {{"toa", sig, "--out", out, "--cfd", "1.5"}, "between 0 and 1"},
        {{"toa", sig, "--out", out, "--tacho", "Q"}, "the tacho channel \"Q\""},
        {{"toa", sig, "--out", out, "--pair", "K1,P9"}, "no channel named \"P9\""},
        {{"toa", sig, "--out", out, "--threshold", "P1=3"}, "P1: no pulse crosses the level 3 V"},
        {{"toa", sig, "--out", out, "--threshold", "X=3"}, "names channel \"X\""},
        {{"toa", (dir / "none.wav").string(), "--out", out}, "none.wav"},
        {{"toa", sig}, "usage: vibrolan-cli toa"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.args.back());
        const auto r = runProcess(VIBROLAN_CLI_PATH, k.args);
        EXPECT_NE(r.status, 0);
        EXPECT_NE(r.err.find(k.message), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "rec.bld"));
        EXPECT_FALSE(std::filesystem::exists(dir / "rec.lfm"));
    }
}

} // namespace

// A compressed recording is one in any letter case of its extension: ".BLDX"
// is unpacked by every command exactly as ".bldx" is.
#include "support/run_process.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

using vibrolan::test::runProcess;
using vibrolan::test::slurpFile;
using vibrolan::test::TempDir;

namespace {

TEST(CliRecordingCase, UpperCaseCompressedRecordingReadsAsCompressed)
{
    TempDir dir;
    const auto sim = runProcess(VIBROLAN_CLI_PATH,
                                {"simulate", "steady", "--out", dir.path().string(), "--name", "sim",
                                 "--seed", "5", "--scale", "0.05", "--bldx"},
                                60);
    ASSERT_EQ(sim.status, 0) << sim.err;
    std::filesystem::copy_file(dir / "sim.bldx", dir / "SX.BLDX");
    const std::string lfm = (dir / "sim.lfm").string();

    struct Output {
        std::string report, tacho, info;
    };
    auto analyse = [&](const std::string &recording, const std::string &tag) {
        const auto tacho = dir / ("tacho-" + tag + ".csv");
        const auto r = runProcess(
            VIBROLAN_CLI_PATH,
            {"analyze", lfm, "--recording", (dir / recording).string(), "--tacho", tacho.string()}, 60);
        EXPECT_EQ(r.status, 0) << r.err;
        const auto i = runProcess(VIBROLAN_CLI_PATH, {"info", (dir / recording).string()}, 60);
        EXPECT_EQ(i.status, 0) << i.err;
        return Output{r.out, slurpFile(tacho.string()), i.out.substr(i.out.find('\n') + 1)};
    };
    const Output lower = analyse("sim.bldx", "lower");
    const Output upper = analyse("SX.BLDX", "upper");
    // The plain recording gives the same results: the compressed one holds the same records.
    const Output plain = analyse("sim.bld", "plain");
    EXPECT_NE(lower.info.find("compressed recording"), std::string::npos) << lower.info;
    EXPECT_EQ(upper.info, lower.info);
    EXPECT_GT(lower.tacho.size(), 100u);
    EXPECT_EQ(upper.tacho, lower.tacho);
    EXPECT_EQ(plain.tacho, lower.tacho);
    EXPECT_FALSE(lower.report.empty());
    EXPECT_EQ(upper.report, lower.report);
}

} // namespace

// A run too large for the memory the process may take is refused before it
// starts, naming what it needs and what is available: never an internal error
// from a failed allocation midway.
#include "support/run_process.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

using vibrolan::test::runProcess;
using vibrolan::test::TempDir;

namespace {

// The command under an address-space limit of `kib` KiB (the shell's ulimit -v).
vibrolan::test::ProcessResult limited(long kib, const std::vector<std::string> &args)
{
    std::vector<std::string> all{"-c", "ulimit -v " + std::to_string(kib) + " && exec \"$0\" \"$@\"",
                                 VIBROLAN_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    return runProcess("/bin/sh", all, 120);
}

TEST(CliMemory, ARunBeyondTheAddressSpaceLimitIsRefusedClearly)
{
    constexpr long kLimitKiB = 16000;
    if (limited(kLimitKiB, {"--version"}).status != 0)
        GTEST_SKIP() << "this build cannot start under a 16 MB address-space limit (a sanitizer build)";
    TempDir dir;
    const auto sim = runProcess(VIBROLAN_CLI_PATH,
                                {"simulate", "steady", "--out", dir.path().string(), "--name", "sim",
                                 "--seed", "3", "--scale", "3", "--no-truth"},
                                120);
    ASSERT_EQ(sim.status, 0) << sim.err;
    const std::string lfm = (dir / "sim.lfm").string();
    const auto r = limited(kLimitKiB, {"analyze", lfm});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err.find("internal error"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("not enough memory for the run: it needs about"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("MB are available (the address-space limit"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << "a report was printed";
    // With room enough the same run goes through.
    EXPECT_EQ(limited(200000, {"analyze", lfm}).status, 0);
}

} // namespace

#include "support/run_process.hpp"

#include <gtest/gtest.h>

using vibrolan::test::runProcess;

TEST(CliBasics, VersionHelpAndUnknownCommand)
{
    auto v = runProcess(VIBROLAN_CLI_PATH, {"--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out.rfind("vibrolan-cli ", 0), 0u) << v.out;

    auto h = runProcess(VIBROLAN_CLI_PATH, {"--help"});
    EXPECT_EQ(h.status, 0);
    EXPECT_NE(h.out.find("usage:"), std::string::npos);

    auto u = runProcess(VIBROLAN_CLI_PATH, {"no-such-command"});
    EXPECT_EQ(u.status, 2);
    EXPECT_NE(u.err.find("unknown command 'no-such-command'"), std::string::npos) << u.err;

    auto none = runProcess(VIBROLAN_CLI_PATH, {});
    EXPECT_EQ(none.status, 2);
}

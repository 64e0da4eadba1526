// vibrolan-cli resonances --plot: the Campbell diagram as a PNG file, drawn
// without a display; a protected file is left as it was.
#include "support/run_process.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>

#include <sys/stat.h>

using namespace vibrolan;
using vibrolan::test::runProcess;
using vibrolan::test::slurpFile;
using vibrolan::test::TempDir;
namespace fs = std::filesystem;

namespace {

std::uint32_t bigEndian(const std::string &s, std::size_t at)
{
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v = v << 8 | static_cast<unsigned char>(s.at(at + i));
    return v;
}

std::uint32_t crc32(const std::string &s, std::size_t from, std::size_t n)
{
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = from; i < from + n; ++i) {
        c ^= static_cast<unsigned char>(s[i]);
        for (int k = 0; k < 8; ++k)
            c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return ~c;
}

// A PNG whose every chunk is whole with a right checksum, from IHDR to IEND;
// its width and height.
bool validPng(const std::string &png, std::uint32_t &width, std::uint32_t &height)
{
    if (png.size() < 8 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0)
        return false;
    std::size_t at = 8;
    bool first = true, idat = false;
    while (at + 12 <= png.size()) {
        const std::uint32_t len = bigEndian(png, at);
        if (at + 12 + len > png.size())
            return false;
        const std::string type = png.substr(at + 4, 4);
        if (crc32(png, at + 4, len + 4) != bigEndian(png, at + 8 + len))
            return false;
        if (first) {
            if (type != "IHDR")
                return false;
            width = bigEndian(png, at + 8);
            height = bigEndian(png, at + 12);
            first = false;
        }
        idat = idat || type == "IDAT";
        at += 12 + len;
        if (type == "IEND")
            return idat && at == png.size();
    }
    return false;
}

} // namespace

TEST(CliResonancesPlot, WritesTheCampbellDiagramWithoutADisplay)
{
    TempDir dir;
    // A build without Qt has no pictures and says so at once.
    const auto probe =
        runProcess(VIBROLAN_CLI_PATH, {"resonances", (dir / "none.lfm").string(), "--plot", "x.png"});
    if (probe.err.find("built without") != std::string::npos)
        GTEST_SKIP() << probe.err;
    auto r =
        runProcess(VIBROLAN_CLI_PATH, {"simulate", "--scenario",
                                       (fs::path(VIBROLAN_TEST_DATA_DIR) / "sim_runup_slow.json").string(),
                                       "--out", dir.path().string(), "--name", "run", "--no-truth"});
    ASSERT_EQ(r.status, 0) << r.err;
    // No display and no platform named: the program must manage offscreen.
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("QT_QPA_PLATFORM");
    const fs::path png = dir / "campbell.png";
    r = runProcess(VIBROLAN_CLI_PATH, {"resonances", (dir / "run.lfm").string(), "--plot", png.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    std::uint32_t w = 0, h = 0;
    EXPECT_TRUE(validPng(slurpFile(png.string()), w, h));
    EXPECT_EQ(w, 1200u);
    EXPECT_EQ(h, 800u);

    // A read-only picture is left as it is, and the program says why.
    const fs::path mine = dir / "mine.png";
    {
        std::ofstream(mine) << "mine";
    }
    ::chmod(mine.c_str(), 0444);
    r = runProcess(VIBROLAN_CLI_PATH, {"resonances", (dir / "run.lfm").string(), "--plot", mine.string()});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("mine.png"), std::string::npos) << r.err;
    EXPECT_EQ(slurpFile(mine.string()), "mine");
    // The option needs its file.
    r = runProcess(VIBROLAN_CLI_PATH, {"resonances", (dir / "run.lfm").string(), "--plot"});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("--plot needs a value"), std::string::npos) << r.err;
}

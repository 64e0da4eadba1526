// The asynchronous command as a program: the CSV with its exact header and
// "." decimals under a decimal-comma locale, the table, and an existing CSV
// left alone when the command fails.
#include "support/modes_file.hpp"
#include "support/run_process.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <sstream>

using vibrolan::test::runProcess;
using vibrolan::test::slurpFile;
using vibrolan::test::TempDir;

namespace {

std::vector<std::vector<std::string>> csvRows(const std::string &text)
{
    std::vector<std::vector<std::string>> rows;
    std::stringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::stringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, ','))
            cells.push_back(cell);
        if (!line.empty() && line.back() == ',')
            cells.emplace_back();
        rows.push_back(cells);
    }
    return rows;
}

double number(const std::string &s)
{
    double v = NAN;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    EXPECT_TRUE(r.ec == std::errc{} && r.ptr == s.data() + s.size()) << "not a number: \"" << s << "\"";
    return v;
}

} // namespace

TEST(AsynchronousCommand, WritesTheSegmentsOfTheExampleScenario)
{
    TempDir dir;
    const auto sim =
        runProcess(VIBROLAN_CLI_PATH, {"simulate", "--scenario", VIBROLAN_TEST_DATA_DIR "/sim_async.json",
                                       "--out", dir.path().string()});
    ASSERT_EQ(sim.status, 0) << sim.err;
    const auto modes = vibrolan::test::readModes(dir / "async.modes.csv");
    // Users run decimal-comma locales: the files keep ".".
    setenv("LC_ALL", "ru_RU.UTF-8", 1);
    const std::string csv = (dir / "seg.csv").string();
    const auto r =
        runProcess(VIBROLAN_CLI_PATH, {"asynchronous", (dir / "async.lfm").string(), "--csv", csv});
    unsetenv("LC_ALL");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("asynchronous: 100%"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("Частота, Гц"), std::string::npos) << r.out;
    const auto rows = csvRows(slurpFile(csv));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(
        slurpFile(csv).substr(0, slurpFile(csv).find('\n')),
        "stage,time_from_s,time_to_s,speed_rpm,frequency_hz,nodal_diameter,amplitude_mean,amplitude_max,"
        "blades,quality");
    // One row per stage, against the truth of its component.
    for (std::size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 10u);
        const int stage = static_cast<int>(number(rows[i][0]));
        const vibrolan::test::ModeLine *m = nullptr;
        for (const auto &x : modes)
            if (x.stage == stage && x.kind != "resonance" && x.blade == 1)
                m = &x;
        ASSERT_NE(m, nullptr);
        EXPECT_NEAR(number(rows[i][1]), m->timeFromS, 1.0);
        EXPECT_NEAR(number(rows[i][2]), m->timeToS, 1.0);
        EXPECT_NEAR(number(rows[i][4]), 0.5 * (m->frequencyHz + m->frequencyEndHz), 0.005 * m->frequencyHz);
        EXPECT_EQ(static_cast<int>(number(rows[i][5])), m->nodalDiameter);
        EXPECT_NEAR(number(rows[i][6]), m->meanAmplitudeMm, 0.1 * m->meanAmplitudeMm);
        EXPECT_GE(number(rows[i][7]), number(rows[i][6]));
        EXPECT_GT(number(rows[i][9]), 0.8);
    }
}

TEST(AsynchronousCommand, ErrorsLeaveAnExistingFileAlone)
{
    TempDir dir;
    const std::string csv = (dir / "seg.csv").string();
    std::ofstream(csv) << "keep me\n";
    struct Case {
        std::vector<std::string> args;
        const char *message;
    };
    const std::vector<Case> cases = {
        {{"asynchronous", (dir / "missing.lfm").string(), "--csv", csv}, "missing.lfm"},
        {{"asynchronous", (dir / "missing.lfm").string(), "--bogus"}, "unknown option --bogus"},
        {{"asynchronous", (dir / "missing.lfm").string(), "--csv"}, "--csv needs a value"},
    };
    for (const Case &c : cases) {
        const auto r = runProcess(VIBROLAN_CLI_PATH, c.args);
        EXPECT_NE(r.status, 0);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(slurpFile(csv), "keep me\n");
    }
    const auto usage = runProcess(VIBROLAN_CLI_PATH, {"asynchronous"});
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.err.find("usage: vibrolan-cli asynchronous"), std::string::npos);
}

TEST(AsynchronousCommand, ARunWithoutAsynchronousVibrationGivesTheHeaderOnly)
{
    TempDir dir;
    // A run-up through synchronous resonances, nothing asynchronous.
    const auto sim = runProcess(VIBROLAN_CLI_PATH,
                                {"simulate", "--scenario", VIBROLAN_TEST_DATA_DIR "/sim_runup_slow.json",
                                 "--out", dir.path().string(), "--name", "st"});
    ASSERT_EQ(sim.status, 0) << sim.err;
    const std::string csv = (dir / "seg.csv").string();
    const auto r = runProcess(VIBROLAN_CLI_PATH, {"asynchronous", (dir / "st.lfm").string(), "--csv", csv});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Асинхронных колебаний не найдено"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("asynchronous: 100%"), std::string::npos) << r.err;
    EXPECT_EQ(slurpFile(csv),
              "stage,time_from_s,time_to_s,speed_rpm,frequency_hz,nodal_diameter,amplitude_mean,"
              "amplitude_max,blades,quality\n");
}

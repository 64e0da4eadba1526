#include "base/code_pages.hpp"
#include "output/ini_document.hpp"
#include "support/number_of.hpp"
#include "support/run_process.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

using vibrolan::test::runProcess;
using vibrolan::test::slurpFile;
using vibrolan::test::TempDir;

namespace {

// One simulated run-down recording with its configuration, shared by the suite.
class CliExport : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = std::make_unique<TempDir>();
        const auto r = runProcess(VIBROLAN_CLI_PATH, {"simulate", "rundown", "--out", dir_->path().string(),
                                                      "--name", "rd", "--seed", "3", "--scale", "0.02"});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    static void TearDownTestSuite() { dir_.reset(); }

    static std::string config() { return (dir_->path() / "rd.lfm").string(); }
    static std::filesystem::path path(const std::string &name) { return dir_->path() / name; }

    static vibrolan::datafiles::IniDocument keys(const std::filesystem::path &set)
    {
        return vibrolan::datafiles::IniDocument::parse(
            vibrolan::cp1251ToUtf8(slurpFile((set / (set.filename().string() + ".zami")).string())));
    }
    template <class T> static std::vector<T> samples(const std::filesystem::path &file)
    {
        const std::string bytes = slurpFile(file.string());
        std::vector<T> v(bytes.size() / sizeof(T));
        if (!v.empty())
            std::memcpy(v.data(), bytes.data(), v.size() * sizeof(T));
        return v;
    }

    static std::unique_ptr<TempDir> dir_;
};

std::unique_ptr<TempDir> CliExport::dir_;

// Column `name` of a CSV file with a header line.
std::vector<double> csvColumn(const std::string &text, const std::string &name)
{
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    std::vector<std::string> head;
    std::istringstream hs(line);
    for (std::string cell; std::getline(hs, cell, ',');)
        head.push_back(cell);
    const auto col = static_cast<std::size_t>(std::find(head.begin(), head.end(), name) - head.begin());
    std::vector<double> values;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::string cell;
        for (std::size_t c = 0; c <= col && std::getline(ls, cell, ','); ++c) {
        }
        values.push_back(vibrolan::test::numberOf(cell));
    }
    return values;
}

// The saved amplitudes are the run's blade series: the same numbers that the
// analysis writes as CSV for the same configuration.
TEST_F(CliExport, SavesTheRunsBladeSeriesWithTheSpeedInHertz)
{
    const auto out = path("series");
    const auto r = runProcess(VIBROLAN_CLI_PATH, {"export", config(), "--pair", "Pa1", "--kind", "1", "--hz",
                                                  "--out", out.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("series saved in"), std::string::npos) << r.out;

    const auto k = keys(out);
    EXPECT_EQ(k.readString("ZAMI", "Test", ""), "Выбег   ");
    EXPECT_EQ(k.readString("Tacho", "YUnits", ""), "Hz");
    EXPECT_EQ(k.readString("Tacho", "k0", ""), "0");
    EXPECT_EQ(k.readString("Tacho", "k1", ""), "0.0166666675359011");
    EXPECT_EQ(k.readString("blade1", "k0", ""), "0");
    EXPECT_EQ(k.readString("blade1", "YUnits", ""), "мм");

    // The saved data set is described by the info command like any input file.
    const auto info = runProcess(VIBROLAN_CLI_PATH, {"info", (out / "series.zami").string()});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("Tacho"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("blade7"), std::string::npos) << info.out;

    const auto a = runProcess(VIBROLAN_CLI_PATH, {"analyze", config(), "--series", path("csv").string()});
    ASSERT_EQ(a.status, 0) << a.err;
    const std::string csv = slurpFile((path("csv") / "St1_Pa1.csv").string());
    for (const char *blade : {"blade1", "blade7"}) {
        const auto expected = csvColumn(csv, blade);
        const auto saved = samples<float>(out / (std::string(blade) + ".dat"));
        ASSERT_EQ(saved.size(), expected.size()) << blade;
        ASSERT_GT(saved.size(), 10u);
        for (std::size_t i = 0; i < saved.size(); ++i)
            EXPECT_NEAR(saved[i], expected[i], 1e-6 * std::max(1.0, std::fabs(expected[i])))
                << blade << " " << i;
    }
    EXPECT_EQ(samples<float>(out / "Tacho.x"), samples<float>(out / "blade1.x"));
}

TEST_F(CliExport, SavesTheSliceRevolutionByBlade)
{
    const auto out = path("slice");
    const auto r = runProcess(VIBROLAN_CLI_PATH, {"export", config(), "--pair", "Pa3", "--slice", "--out",
                                                  out.string(), "--decimal", ","});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto k = keys(out);
    const auto revolutions = samples<float>(out / "Tacho.dat").size();
    ASSERT_GT(revolutions, 0u);
    EXPECT_EQ(k.readString("ТУВРА", "ZSize", ""), std::to_string(revolutions));
    const auto blades = samples<float>(out / "ТУВРА.dat").size() / revolutions;
    EXPECT_EQ(samples<float>(out / "ТУВРА.dat").size(), revolutions * blades);
    EXPECT_GT(blades, 1u);
    EXPECT_EQ(k.readString("Tacho", "k0", ""), "0");
    EXPECT_EQ(k.readString("Tacho", "k1", ""), "1");
}

// A run-through data set fed back as data-file input: its last channel's
// argument, the revolution times, becomes the pair's speed series, and the
// run drops the last sample as it does after every pass.
TEST_F(CliExport, FeedsASavedRunDownBackAsDataFileInput)
{
    const auto first = path("first");
    ASSERT_EQ(runProcess(VIBROLAN_CLI_PATH,
                         {"export", config(), "--pair", "Pa1", "--kind", "1", "--out", first.string()})
                  .status,
              0);
    const auto again = path("again");
    const auto r = runProcess(VIBROLAN_CLI_PATH, {"export", config(), "--pair", "Pa1", "--kind", "1", "--out",
                                                  again.string(), "--data", (first / "first.zami").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto times = samples<float>(first / "blade24.x");
    const auto speed = samples<float>(again / "Tacho.dat");
    ASSERT_EQ(speed.size() + 1, times.size());
    EXPECT_TRUE(std::equal(speed.begin(), speed.end(), times.begin()));
}

TEST_F(CliExport, BadRequestsAreClearErrorsAndWriteNothing)
{
    const auto out = path("never").string();
    const struct {
        std::vector<std::string> args;
        const char *message;
    } cases[] = {
        {{"export", config(), "--pair", "Nope", "--out", out}, "no pair \"Nope\""},
        {{"export", config(), "--pair", "Pa1", "--kind", "7", "--out", out}, "graph kind 7"},
        {{"export", config(), "--pair", "Pa1", "--kind", "x", "--out", out}, "--kind needs a number"},
        {{"export", config(), "--pair", "Pa1"}, "--out"},
        {{"export", config(), "--pair", "Pa1", "--out", out, "--recording", path("gone.bld").string()},
         "does not exist"},
        {{"export", config(), "--pair", "Pa1", "--out", out, "--data", path("gone.zami").string()},
         "none of the data files"},
        {{"export", config(), "--pair", "Pa1", "--out", out, "--decimal", ";"}, "--decimal"},
        {{"export", path("missing.lfm").string(), "--pair", "Pa1", "--out", out}, "missing.lfm"},
    };
    for (const auto &c : cases) {
        const auto r = runProcess(VIBROLAN_CLI_PATH, c.args);
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.message;
    }
    EXPECT_EQ(runProcess(VIBROLAN_CLI_PATH, {"export"}).status, 2);
}

} // namespace

// The resonances command as a program: a simulated run-up in, the table on
// stdout and the CSV out; bad input gets a clear message and leaves an
// existing CSV as it was.
#include "support/modes_file.hpp"
#include "support/run_process.hpp"
#include "support/temp_dir.hpp"

#include "base/message_sink.hpp"
#include "config/cfg_dfm.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

using namespace vibrolan;
using vibrolan::test::runProcess;
using vibrolan::test::slurpFile;
using vibrolan::test::TempDir;
namespace fs = std::filesystem;

namespace {

const std::string kHeader =
    "stage,blade,engine_order,speed_rpm,frequency_hz,damping_ratio,amplitude,phase_deg,pairs,quality";

fs::path dataFile(const char *name) { return fs::path(VIBROLAN_TEST_DATA_DIR) / name; }

// Simulates a scenario file (or a preset with --scale) into dir; returns the configuration.
fs::path simulate(const TempDir &dir, std::vector<std::string> source)
{
    std::vector<std::string> args{"simulate"};
    args.insert(args.end(), source.begin(), source.end());
    args.insert(args.end(), {"--out", dir.path().string(), "--name", "run"});
    const auto r = runProcess(VIBROLAN_CLI_PATH, args);
    EXPECT_EQ(r.status, 0) << r.err;
    return dir / "run.lfm";
}

std::vector<std::string> split(const std::string &line, char sep)
{
    std::vector<std::string> cells;
    std::stringstream ss(line);
    std::string c;
    while (std::getline(ss, c, sep))
        cells.push_back(c);
    return cells;
}

double num(const std::string &s)
{
    double v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    EXPECT_TRUE(r.ec == std::errc{} && r.ptr == s.data() + s.size()) << "\"" << s << "\"";
    return v;
}

// Rewrites a configuration through the model.
void editConfig(const fs::path &lfm, const std::function<void(TCfgDfm &)> &edit)
{
    TCfgDfm cfg;
    cfg.InitDefault();
    cfg.LoadFromFile(lfm);
    edit(cfg);
    RecordingMessageSink sink;
    cfg.SaveToFile(lfm, sink);
}

} // namespace

// A fast run-up of 24 blades with three resonances: one row per blade and
// resonance under a decimal-comma locale, "." decimals, in the order of
// stage, speed and blade, each row's engine order and frequency those of the
// simulator's truth for that blade.
TEST(ResonancesCommand, WritesOneRowPerBladeAndResonance)
{
    TempDir dir;
    const fs::path lfm = simulate(dir, {"--scenario", dataFile("sim_runup_fast.json").string()});
    const auto modes = test::readModes(dir / "run.modes.csv");
    const fs::path csv = dir / "res.csv";
    ::setenv("LC_ALL", "ru_RU.UTF-8", 1);
    const auto r = runProcess(VIBROLAN_CLI_PATH, {"resonances", lfm.string(), "--csv", csv.string()});
    ::unsetenv("LC_ALL");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("identification"), std::string::npos) << "progress on stderr";
    EXPECT_NE(r.out.find("freq Hz"), std::string::npos) << "the table on stdout";

    std::istringstream in(slurpFile(csv.string()));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, kHeader);
    std::vector<std::vector<std::string>> rows;
    while (std::getline(in, line))
        rows.push_back(split(line, ','));
    ASSERT_EQ(rows.size(), 72u);
    std::set<std::pair<int, int>> seen; // blade, EO
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto &c = rows[i];
        ASSERT_EQ(c.size(), 10u) << "row " << i;
        const int stage = static_cast<int>(num(c[0])), blade = static_cast<int>(num(c[1]));
        const int eo = static_cast<int>(num(c[2]));
        const double rpm = num(c[3]), hz = num(c[4]);
        EXPECT_EQ(stage, 1);
        EXPECT_NEAR(rpm, 60 * hz / eo, 1e-3 + 1e-6 * rpm);
        EXPECT_GT(num(c[5]), 0);
        EXPECT_GT(num(c[6]), 0);
        EXPECT_EQ(num(c[8]), 6);
        EXPECT_LE(num(c[9]), 1);
        if (i > 0) {
            const auto &p = rows[i - 1];
            const double prev = num(p[3]);
            EXPECT_TRUE(prev < rpm || (prev == rpm && num(p[1]) < blade)) << "row " << i << " out of order";
        }
        bool truth = false;
        for (const auto &m : modes)
            truth = truth || (m.kind == "resonance" && m.blade == blade && m.engineOrder == eo &&
                              std::fabs(m.naturalHz - hz) < 0.002 * m.naturalHz);
        EXPECT_TRUE(truth) << "row " << i << ": blade " << blade << " EO " << eo << " at " << hz << " Hz";
        seen.insert({blade, eo});
    }
    EXPECT_EQ(seen.size(), 72u);
}

// Bad input: a clear message on stderr, a non-zero exit, and the CSV a user
// already has stays as it was.
TEST(ResonancesCommand, BadInputLeavesTheCsvAlone)
{
    struct Case {
        const char *name;
        std::vector<std::string> source;     // simulate arguments
        std::function<void(TCfgDfm &)> edit; // applied to the written configuration
        std::vector<std::string> options;    // more resonances arguments
        const char *message;                 // expected in stderr or stdout
    };
    const std::vector<std::string> fast{"--scenario", dataFile("sim_runup_fast.json").string()};
    // The slow run-up's stage held at 5600 rpm, below all its resonances.
    TempDir scenarios;
    const fs::path steadyScenario = scenarios / "steady.json";
    {
        std::string text = slurpFile(dataFile("sim_runup_slow.json").string());
        const std::string speed = R"("speed": {"points": [[0, 5500], [20, 7500]]})";
        ASSERT_NE(text.find(speed), std::string::npos);
        text.replace(text.find(speed), speed.size(), R"("speed": {"steady_rpm": 5600})");
        text.replace(text.find(R"("duration_s": 20)"), 16, R"("duration_s": 4)");
        std::ofstream(steadyScenario) << text;
    }
    const Case cases[] = {
        {"no checked pair",
         fast,
         [](TCfgDfm &c) {
             for (auto &p : c.Stages[0].Pairs)
                 p.Checked = false;
         },
         {},
         "no checked pair"},
        {"one pair only",
         fast,
         [](TCfgDfm &c) {
             for (std::size_t k = 1; k < c.Stages[0].Pairs.size(); ++k)
                 c.Stages[0].Pairs[k].Checked = false;
         },
         {},
         "одна пара"},
        {"pairs without angles",
         fast,
         [](TCfgDfm &c) {
             for (auto &p : c.Stages[0].Pairs)
                 p.fi = 0;
         },
         {},
         "меньше трёх пар с разными углами"},
        {"steady-state recording",
         {"--scenario", steadyScenario.string()},
         nullptr,
         {},
         "no resonance was crossed"},
        {"an engine order of 0", fast, nullptr, {"--eo", "0"}, "--eo needs a whole number"},
        {"a speed that is no number", fast, nullptr, {"--from", "5,5e3"}, "--from needs a number"},
        {"a band the wrong way round", fast, nullptr, {"--from", "7000", "--to", "6000"}, "speed band"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path lfm = simulate(dir, c.source);
        if (c.edit)
            editConfig(lfm, c.edit);
        const fs::path csv = dir / "res.csv";
        {
            std::ofstream(csv) << "the user's own file\n";
        }
        std::vector<std::string> args{"resonances", lfm.string(), "--csv", csv.string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const auto r = runProcess(VIBROLAN_CLI_PATH, args);
        EXPECT_NE(r.status, 0);
        EXPECT_NE((r.err + r.out).find(c.message), std::string::npos) << r.err << r.out;
        EXPECT_EQ(slurpFile(csv.string()), "the user's own file\n");
    }
}

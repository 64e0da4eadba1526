// The analysis end to end on simulated recordings: the assembled deflections
// against the simulator's ground truth, and the analyze command as a program.
#include "support/run_process.hpp"
#include "support/temp_dir.hpp"

#include "base/message_sink.hpp"
#include "config/cfg_dfm.hpp"
#include "recording/recording_image.hpp"
#include "run/assemble_stage.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>

using namespace vibrolan;
using vibrolan::test::runProcess;
using vibrolan::test::TempDir;

namespace {

struct Tally {
    long accepted = 0, rejected = 0;
};

// Simulates a preset; returns the per-pair tallies the simulator printed.
std::map<std::pair<std::string, std::string>, Tally> simulate(const TempDir &dir, const std::string &preset,
                                                              const std::string &scale)
{
    const auto r = runProcess(VIBROLAN_CLI_PATH, {"simulate", preset, "--out", dir.path().string(), "--name",
                                                  "sim", "--seed", "11", "--scale", scale});
    EXPECT_EQ(r.status, 0) << r.err;
    std::map<std::pair<std::string, std::string>, Tally> t;
    const std::regex line(R"(stage (\S+) pair (\S+): (\d+) accepted, (\d+) rejected)");
    for (std::sregex_iterator it(r.out.begin(), r.out.end(), line), end; it != end; ++it)
        t[{(*it)[1], (*it)[2]}] = Tally{std::stol((*it)[3]), std::stol((*it)[4])};
    return t;
}

struct TruthRow {
    int stage, pair;
    long sample;
    double time, speed;
    bool fault;
    std::vector<double> ampl;
};

std::vector<TruthRow> readTruth(const std::filesystem::path &file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    std::vector<TruthRow> rows;
    while (std::getline(in, line)) {
        std::stringstream ss(line);
        std::string f;
        std::vector<std::string> v;
        while (std::getline(ss, f, ','))
            v.push_back(f);
        TruthRow r{std::stoi(v[0]) - 1,
                   std::stoi(v[1]) - 1,
                   std::stol(v[2]),
                   std::stod(v[3]),
                   std::stod(v[4]),
                   v[5] == "1",
                   {}};
        for (std::size_t i = 6; i < v.size() && !v[i].empty(); ++i)
            r.ampl.push_back(std::stod(v[i]));
        rows.push_back(std::move(r));
    }
    return rows;
}

} // namespace

TEST(AnalyzeEndToEnd, AssembledRevolutionsMatchTheSimulatorsTruth)
{
    struct Case {
        const char *preset;
        // The truth leaves out the timing jitter of the faults preset: 20 ns RMS
        // on root and tip, six standard deviations of their difference in its
        // 12.5 ns ticks. A wrong pulse would be off by a whole blade pitch.
        double noiseTicks;
    };
    for (const auto &[preset, noiseTicks] : {Case{"steady", 0}, Case{"runup", 0}, Case{"faults", 14}}) {
        SCOPED_TRACE(preset);
        TempDir dir;
        const auto tallies = simulate(dir, preset, "0.1");
        TCfgDfm cfg;
        cfg.InitDefault();
        cfg.LoadFromFile(dir / "sim.lfm");
        const RecordingImage image = RecordingImage::mapFile(cfg.FileName);
        TPulsePass pass;
        pass.RecImage = image.bytes();
        pass.FirstRec = image.firstRecord();
        pass.RecCount = image.passEnd(cfg.CountSensors);
        pass.TickPeriod = image.tickPeriod();
        pass.SpeedFactor = image.speedFactor();
        RecordingMessageSink sink;
        for (std::size_t s = 0; s < cfg.CountStage; ++s) {
            TStage &st = cfg.Stages[s];
            ASSERT_NE(st.TachoComb.divisor, 254) << "signature mode needs the detector";
            pass.TachoDivisor = st.TachoComb.divisor + 1;
            PreparePairStorage(st);
            AssembleStage(cfg, s, pass, sink, NumberFormat{});
            for (std::size_t p = 0; p < st.CountPairs; ++p) {
                const Tally t = tallies.at({st.NameStage, st.Pairs[p].NamePair});
                EXPECT_EQ(st.Pairs[p].Size, t.accepted) << st.NameStage << p;
                EXPECT_EQ(st.Pairs[p].SizeOfBad, t.rejected) << st.NameStage << p;
            }
        }
        const auto truth = readTruth(dir / "sim.truth.csv");
        ASSERT_FALSE(truth.empty());
        std::size_t checked = 0;
        for (const TruthRow &row : truth) {
            const TStage &st = cfg.Stages[row.stage];
            const TPair &p = st.Pairs[row.pair];
            ASSERT_LT(row.sample, p.Size);
            const auto i = static_cast<std::size_t>(row.sample);
            // At a counter wrap the revolution's time is the previous start plus
            // the wrapped revolution's own length: off by the change of one
            // revolution length while the speed changes.
            EXPECT_NEAR(p.Time[i], row.time, 1e-6 * (1 + row.time) + 0.01 * 60 / row.speed);
            EXPECT_NEAR(p.Freq[i], row.speed, 1e-4 * row.speed);
            if (row.fault)
                continue;
            const double rev = pass.SpeedFactor / p.Freq[i];
            const double quantum = st.Diametr * kPi / rev;
            for (std::size_t k = 0; k < st.CountBlade; ++k) {
                const double want = row.ampl.at(p.NumberBlade[k]);
                ASSERT_NEAR(p.Ampl[k][i], want, quantum * (1.001 + noiseTicks) + 1e-6 * std::fabs(want))
                    << "stage " << row.stage << " rev " << rev << " pair " << row.pair << " sample "
                    << row.sample << " position " << k;
            }
            ++checked;
        }
        EXPECT_GT(checked, 50u);
    }
}

TEST(CliAnalyze, RunsASimulatedRecordingAndWritesItsOutputs)
{
    TempDir dir;
    simulate(dir, "steady", "0.05");
    const auto lfm = (dir / "sim.lfm").string();
    const auto r = runProcess(VIBROLAN_CLI_PATH, {"analyze", lfm, "--tacho", (dir / "tacho.csv").string(),
                                                  "--series", (dir / "series").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("ОТЧЕТ ДЛЯ СТУПЕНИ"), std::string::npos) << r.out.substr(0, 400);
    EXPECT_NE(r.err.find("Расчет вибрации лопаток"), std::string::npos);
    EXPECT_NE(r.err.find("rejected"), std::string::npos);

    std::ifstream tacho(dir / "tacho.csv");
    std::string line;
    std::getline(tacho, line);
    EXPECT_EQ(line, "stage,time_s,speed_rpm");
    int points = 0;
    while (std::getline(tacho, line)) {
        const double rpm = std::stod(line.substr(line.rfind(',') + 1));
        EXPECT_NEAR(rpm, 6000, 60) << line;
        ++points;
    }
    EXPECT_GT(points, 10);
    EXPECT_TRUE(std::filesystem::exists(dir / "series" / "St1_Pa1.csv"));

    // The report into a file (UTF-16LE): nothing on stdout.
    const auto toFile = runProcess(VIBROLAN_CLI_PATH, {"analyze", lfm, "--report", (dir / "r.txt").string()});
    ASSERT_EQ(toFile.status, 0) << toFile.err;
    EXPECT_TRUE(toFile.out.empty());
    EXPECT_GT(std::filesystem::file_size(dir / "r.txt"), 100u);

    // The compressed recording gives the same report.
    simulate(dir, "steady", "0.05");
    const auto bldx =
        runProcess(VIBROLAN_CLI_PATH, {"simulate", "steady", "--out", dir.path().string(), "--name", "sim",
                                       "--seed", "11", "--scale", "0.05", "--bldx"});
    ASSERT_EQ(bldx.status, 0);
    const auto packed =
        runProcess(VIBROLAN_CLI_PATH, {"analyze", lfm, "--recording", (dir / "sim.bldx").string()});
    ASSERT_EQ(packed.status, 0) << packed.err;
    EXPECT_EQ(packed.out, r.out);
}

TEST(CliAnalyze, ErrorsAreClearAndNonZero)
{
    TempDir dir;
    simulate(dir, "steady", "0.05");
    const auto lfm = (dir / "sim.lfm").string();
    const auto missing =
        runProcess(VIBROLAN_CLI_PATH, {"analyze", lfm, "--recording", (dir / "nope.bld").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Файл данных не найден"), std::string::npos) << missing.err;

    std::ofstream(dir / "junk.bld") << "Rec"; // too short for a single record
    std::ofstream(dir / "bad.lfm") << "not a configuration";
    const auto badCfg = runProcess(VIBROLAN_CLI_PATH, {"analyze", (dir / "bad.lfm").string()});
    EXPECT_EQ(badCfg.status, 1);
    EXPECT_NE(badCfg.err.find("bad.lfm"), std::string::npos) << badCfg.err;

    const auto noArgs = runProcess(VIBROLAN_CLI_PATH, {"analyze"});
    EXPECT_EQ(noArgs.status, 2);
    const auto badOpt = runProcess(VIBROLAN_CLI_PATH, {"analyze", lfm, "--frobnicate"});
    EXPECT_EQ(badOpt.status, 1);
    EXPECT_NE(badOpt.err.find("--frobnicate"), std::string::npos);
}

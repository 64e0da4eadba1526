// The analysis end to end on simulated recordings: the assembled deflections
// against the simulator's ground truth, and the analyze command as a program.
#include "support/number_of.hpp"
#include "support/run_process.hpp"
#include "support/temp_dir.hpp"
#include "support/truth_file.hpp"

#include "base/message_sink.hpp"
#include "config/cfg_dfm.hpp"
#include "recording/recording_image.hpp"
#include "run/assemble_stage.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>

using namespace vibrolan;
using vibrolan::test::readTruth;
using vibrolan::test::runProcess;
using vibrolan::test::TempDir;
using vibrolan::test::TruthLine;

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
        for (const TruthLine &row : truth) {
            const TStage &st = cfg.Stages[static_cast<std::size_t>(row.stage - 1)];
            const TPair &p = st.Pairs[static_cast<std::size_t>(row.pair - 1)];
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
        const double rpm = test::numberOf(line.substr(line.rfind(',') + 1));
        EXPECT_NEAR(rpm, 6000, 60) << line;
        ++points;
    }
    EXPECT_GT(points, 10);
    {
        // The steady example has a time-code sensor: the series carry the times of day.
        std::ifstream series(dir / "series" / "St1_Pa1.csv");
        std::getline(series, line);
        EXPECT_NE(line.find(",uts_time_s,"), std::string::npos) << line;
    }

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

namespace {

// The revolutions the analyze command reports per pair, from its stderr.
std::map<std::string, long> reportedRevolutions(const std::string &err)
{
    std::map<std::string, long> n;
    const std::regex line(R"(stage \S+ pair (\S+): (\d+) revolutions)");
    for (std::sregex_iterator it(err.begin(), err.end(), line), end; it != end; ++it)
        n[(*it)[1]] = std::stol((*it)[2]);
    return n;
}

std::vector<float> floats(const std::filesystem::path &file)
{
    const std::string bytes = vibrolan::test::slurpFile(file.string());
    std::vector<float> v(bytes.size() / sizeof(float));
    if (!v.empty())
        std::memcpy(v.data(), bytes.data(), v.size() * sizeof(float));
    return v;
}

// Column `index` of a CSV text with a header line.
std::vector<double> csvColumn(const std::string &text, std::size_t index)
{
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    std::vector<double> column;
    while (std::getline(in, line)) {
        std::stringstream ss(line);
        std::string field;
        for (std::size_t i = 0; i <= index && std::getline(ss, field, ','); ++i) {
        }
        column.push_back(test::numberOf(field));
    }
    return column;
}

} // namespace

// A run-down pair saved as a data set is analysed again without its
// recording: the data set alone feeds stage 0's first pair.
TEST(CliAnalyze, DataFileInputNeedsNoRecording)
{
    TempDir dir;
    simulate(dir, "rundown", "0.1");
    const auto lfm = (dir / "sim.lfm").string();
    const auto fromRecording =
        runProcess(VIBROLAN_CLI_PATH, {"analyze", lfm, "--series", (dir / "recorded").string()});
    ASSERT_EQ(fromRecording.status, 0) << fromRecording.err;
    {
        // Without a time-code sensor there is no time-of-day column.
        std::ifstream series(dir / "recorded" / "St1_Pa1.csv");
        std::string header;
        std::getline(series, header);
        EXPECT_NE(header.find("sample,time_s,freq_rpm,blade1"), std::string::npos) << header;
        EXPECT_EQ(header.find("uts_time_s"), std::string::npos) << header;
    }
    const auto recorded = reportedRevolutions(fromRecording.err);
    ASSERT_GT(recorded.at("Pa1"), 10);

    const auto set = dir / "set";
    const auto exported =
        runProcess(VIBROLAN_CLI_PATH, {"export", lfm, "--pair", "Pa1", "--kind", "1", "--out", set.string()});
    ASSERT_EQ(exported.status, 0) << exported.err;
    std::filesystem::rename(dir / "sim.bld", dir / "elsewhere.bld.moved");
    const std::string keyBefore = vibrolan::test::slurpFile((set / "set.zami").string());

    const auto r = runProcess(VIBROLAN_CLI_PATH, {"analyze", lfm, "--data", (set / "set.zami").string(),
                                                  "--series", (dir / "series").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("ОТЧЕТ ДЛЯ СТУПЕНИ"), std::string::npos) << r.out.substr(0, 400);
    EXPECT_EQ(r.err.find("Файл данных не найден"), std::string::npos) << r.err;

    // The data set holds the pair's accepted revolutions; the run drops the
    // last one as it does after every pass. Pairs without a data file stay empty.
    const std::vector<float> speed = floats(set / "Tacho.dat");
    const std::vector<float> times = floats(set / "Tacho.x");
    ASSERT_EQ(speed.size(), times.size());
    EXPECT_EQ(static_cast<long>(speed.size()), recorded.at("Pa1"));
    const auto fromData = reportedRevolutions(r.err);
    ASSERT_EQ(fromData.size(), recorded.size()) << r.err;
    EXPECT_EQ(fromData.at("Pa1"), static_cast<long>(speed.size()) - 1);
    for (const auto &[pair, n] : fromData) {
        if (pair != "Pa1") {
            EXPECT_EQ(n, 0) << pair;
        }
    }

    // A run-down data set: the series' argument is the pair's speed axis and
    // its samples are counted 0, 1, 2, ...
    const std::string series = vibrolan::test::slurpFile((dir / "series" / "St1_Pa1.csv").string());
    const std::vector<double> time = csvColumn(series, 1), freq = csvColumn(series, 2);
    ASSERT_EQ(freq.size(), speed.size() - 1);
    for (std::size_t i = 0; i < freq.size(); ++i) {
        EXPECT_EQ(time[i], static_cast<double>(i));
        EXPECT_NEAR(freq[i], times[i], 1e-6 * (1 + std::fabs(times[i]))) << i;
    }
    // The input stays as it was and no recording was created.
    EXPECT_EQ(vibrolan::test::slurpFile((set / "set.zami").string()), keyBefore);
    EXPECT_FALSE(std::filesystem::exists(dir / "sim.bld"));
}

TEST(CliAnalyze, DataFileInputErrorsAreClear)
{
    TempDir dir;
    simulate(dir, "rundown", "0.02");
    const auto lfm = (dir / "sim.lfm").string();
    std::ofstream(dir / "damaged.zami") << "[ZAMI]\nTest=x\n";
    std::ofstream(dir / "empty.prx");
    const auto file = [&](const char *name) { return (dir / name).string(); };
    const struct {
        std::vector<std::string> args;
        const char *message;
    } cases[] = {
        {{"--data", file("gone.zami")}, "none of the data files"},
        {{"--data", file("damaged.zami")}, "none of the data files"},
        {{"--data", file("empty.prx")}, "none of the data files"},
        {{"--data", file("sim.bld")}, "none of the data files"}, // a recording is no data file
        {{"--data", file("a"), "--data", file("b"), "--data", file("c"), "--data", file("d"), "--data",
          file("e"), "--data", file("f")},
         "at most 5 data files"},
        {{"--data", file("damaged.zami"), "--recording", file("sim.bld")}, "--recording and --data"},
        {{"--data", file("damaged.zami"), "--tacho", file("t.csv")}, "--tacho reads the recording"},
        {{"--data"}, "--data needs a value"},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args{"analyze", lfm};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = runProcess(VIBROLAN_CLI_PATH, args);
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.message << "\n" << r.err;
        EXPECT_TRUE(r.out.empty()) << c.message;
    }
    // The refused file is named on stderr.
    const auto damaged = runProcess(VIBROLAN_CLI_PATH, {"analyze", lfm, "--data", file("damaged.zami")});
    EXPECT_NE(damaged.err.find("damaged.zami"), std::string::npos) << damaged.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "t.csv"));
}

// The series files of a run replace the earlier run's all or none: a series
// file that cannot be written leaves every earlier one as it was.
TEST(CliAnalyze, AFailedSeriesOutputLeavesTheEarlierFiles)
{
    TempDir dir;
    simulate(dir, "steady", "0.05");
    const auto lfm = (dir / "sim.lfm").string();
    const auto series = dir / "series";
    std::filesystem::create_directories(series);
    for (const char *name : {"St1_Pa1.csv", "St1_Pa2.csv", "St2_Pa3.csv"})
        std::ofstream(series / name) << "earlier " << name;
    // Written after St1_Pa1.csv.
    std::filesystem::permissions(series / "St1_Pa2.csv", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    const auto r = runProcess(VIBROLAN_CLI_PATH, {"analyze", lfm, "--series", series.string()});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("St1_Pa2.csv"), std::string::npos) << r.err;
    for (const char *name : {"St1_Pa1.csv", "St1_Pa2.csv", "St2_Pa3.csv"})
        EXPECT_EQ(vibrolan::test::slurpFile((series / name).string()), std::string("earlier ") + name);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(series), {}), 3) << "a temporary is left";
}

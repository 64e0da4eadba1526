// The whole processing run on simulated recordings, checked against the
// simulator's ground truth: falling speed with a tacho divisor of 2, a
// compressed recording, the signature tacho detector, angle gates, a counter
// wrap and both time codes; then the middle line and the resonance curve of a
// run-up through one known resonance.
//
// The run is the real one (ProcessingRun). The assembled deflections are
// taken when its pass is over and the blades are in order, before the stage
// computation replaces them by their dynamic part.
#include "support/run_process.hpp"
#include "support/temp_dir.hpp"
#include "support/truth_file.hpp"

#include "base/message_sink.hpp"
#include "base/number_format.hpp"
#include "config/cfg_dfm.hpp"
#include "recording/angle_gates.hpp"
#include "run/processing_run.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

using namespace vibrolan;
using vibrolan::test::readTruth;
using vibrolan::test::runProcess;
using vibrolan::test::TempDir;
using vibrolan::test::TruthLine;
namespace fs = std::filesystem;

namespace {

struct Tally {
    long accepted = 0, rejected = 0;
};
using Tallies = std::map<std::pair<std::string, std::string>, Tally>;

// Runs `vibrolan-cli simulate` with `args` into `dir`; returns the per-pair
// tallies the simulator predicts for the assembly.
Tallies simulate(const TempDir &dir, std::vector<std::string> args)
{
    args.insert(args.begin(), "simulate");
    const std::string out = dir.path().string();
    args.insert(args.end(), {"--out", out, "--name", "sim", "--seed", "5"});
    const auto r = runProcess(VIBROLAN_CLI_PATH, args);
    EXPECT_EQ(r.status, 0) << r.err;
    Tallies t;
    const std::regex line(R"(stage (\S+) pair (\S+): (\d+) accepted, (\d+) rejected)");
    for (std::sregex_iterator it(r.out.begin(), r.out.end(), line), end; it != end; ++it)
        t[{(*it)[1], (*it)[2]}] = Tally{std::stol((*it)[3]), std::stol((*it)[4])};
    EXPECT_FALSE(t.empty()) << r.out;
    return t;
}

Tallies simulateScenario(const TempDir &dir, const std::string &json, bool bldx = false)
{
    const fs::path file = dir / "scenario.json";
    std::ofstream(file) << json;
    std::vector<std::string> args{"--scenario", file.string()};
    if (bldx)
        args.emplace_back("--bldx");
    return simulate(dir, args);
}

// One checked pair when the pass is over and the blades are in order.
struct PairSnapshot {
    std::string stage, pair;
    std::int32_t size = 0, bad = 0;
    std::vector<float> freq, time;        // Size + 1 samples: the run drops the last one from Size
    std::vector<double> uts;              // as many, when a time code exists
    std::vector<std::vector<float>> ampl; // blade number -> series as the run advanced it (Size samples)
    std::vector<int> offset;              // blade number -> samples the series starts late
    double diametr = 0;
};

struct Outcome {
    std::unique_ptr<TCfgDfm> cfg; // after the whole run
    std::map<std::pair<int, int>, PairSnapshot> pairs;
    double speedFactor = 0;
    std::vector<Message> messages;
};

Outcome runPipeline(const fs::path &lfm, const std::optional<fs::path> &recording = {},
                    TAngleGates *gates = nullptr)
{
    Outcome out;
    out.cfg = std::make_unique<TCfgDfm>();
    TCfgDfm &cfg = *out.cfg;
    cfg.InitDefault();
    cfg.LoadFromFile(lfm);
    if (recording)
        cfg.FileName = recording->string();
    cfg.UseGates = gates != nullptr;
    TRunCallbacks cb;
    cb.phase = [&](std::string_view caption) {
        if (!caption.empty())
            return; // the pass window closes after the blade ordering
        for (std::size_t s = 0; s < cfg.CountStage; ++s) {
            const TStage &st = cfg.Stages[s];
            for (std::size_t p = 0; p < st.CountPairs; ++p) {
                const TPair &pr = st.Pairs[p];
                if (!pr.Checked)
                    continue;
                PairSnapshot snap{st.NameStage, pr.NamePair, pr.Size, pr.SizeOfBad};
                snap.diametr = st.Diametr;
                // The ordering dropped one revolution from a Size above 0; its samples are still there.
                const std::size_t n = pr.Size > 0 ? static_cast<std::size_t>(pr.Size) + 1 : 0;
                const std::size_t kept = std::min(n, pr.Freq.size());
                snap.freq.assign(pr.Freq.begin(), pr.Freq.begin() + static_cast<long>(kept));
                snap.time.assign(pr.Time.begin(), pr.Time.begin() + static_cast<long>(kept));
                if (!pr.UTS_Time.empty())
                    snap.uts.assign(pr.UTS_Time.begin(),
                                    pr.UTS_Time.begin() +
                                        static_cast<long>(std::min(kept, pr.UTS_Time.size())));
                for (std::size_t b = 0; b < st.CountBlade; ++b) {
                    const auto series = pr.AmplSeries(b);
                    const auto len = std::min<std::size_t>(series.size(), static_cast<std::size_t>(pr.Size));
                    snap.ampl.emplace_back(series.begin(), series.begin() + static_cast<long>(len));
                    snap.offset.push_back(pr.AmplOffs[b] / 4);
                }
                out.pairs[{static_cast<int>(s), static_cast<int>(p)}] = std::move(snap);
            }
        }
    };
    RecordingMessageSink sink;
    TRunInputs inputs;
    inputs.CfgFileName = lfm;
    inputs.Gates = gates;
    const TRunResult r = ProcessingRun(cfg, inputs, sink, NumberFormat{}, cb);
    EXPECT_EQ(r.status, TRunStatus::Done);
    out.speedFactor = 60.0 / r.TickPeriod;
    out.messages = sink.messages();
    return out;
}

// The time of day a revolution carries, from the truth row: the start mark
// lies `markS` seconds after the start of the recording and the revolution's
// data are complete at its end mark.
struct TimeOfDayCheck {
    double startOfRecording = 0; // seconds (time of day, plus whole days for IRIG-B)
    double markS = 0;
    double validFromS = 0;         // the decoder holds a complete code from here on
    double lagMin = 0, lagMax = 0; // allowed (true time - decoded time) at the end mark
};

struct Expectations {
    std::set<std::string> excludedPairs; // every revolution rejected
    std::optional<TimeOfDayCheck> timeOfDay;
    std::size_t minChecked = 50;
};

// Compares the snapshots with the simulator's tallies and truth.
void checkAgainstTruth(const Outcome &out, const Tallies &tallies, const fs::path &truthFile,
                       const Expectations &want)
{
    ASSERT_FALSE(out.pairs.empty());
    for (const auto &[key, snap] : out.pairs) {
        SCOPED_TRACE(snap.stage + " " + snap.pair);
        const Tally t = tallies.at({snap.stage, snap.pair});
        if (want.excludedPairs.count(snap.pair)) {
            EXPECT_EQ(snap.size, 0);
            EXPECT_EQ(snap.bad, t.accepted + t.rejected);
            EXPECT_GT(snap.bad, 10);
            continue;
        }
        // The run's blade ordering drops the last revolution from Size.
        EXPECT_EQ(snap.size + 1, t.accepted);
        EXPECT_EQ(snap.bad, t.rejected);
    }

    const auto truth = readTruth(truthFile);
    ASSERT_FALSE(truth.empty());
    std::size_t checked = 0, timeChecked = 0;
    for (const TruthLine &row : truth) {
        const auto it = out.pairs.find({row.stage - 1, row.pair - 1});
        ASSERT_NE(it, out.pairs.end());
        const PairSnapshot &p = it->second;
        if (want.excludedPairs.count(p.pair))
            continue;
        ASSERT_LT(static_cast<std::size_t>(row.sample), p.freq.size()) << p.pair;
        const auto i = static_cast<std::size_t>(row.sample);
        SCOPED_TRACE(p.stage + " " + p.pair + " sample " + std::to_string(row.sample));
        // At a counter wrap the time is the previous start plus the wrapped
        // revolution's length: off by the change of a revolution length.
        EXPECT_NEAR(p.time[i], row.time, 1e-6 * (1 + row.time) + 0.01 * 60 / row.speed);
        EXPECT_NEAR(p.freq[i], row.speed, 1e-4 * row.speed);
        if (want.timeOfDay) {
            const TimeOfDayCheck &tc = *want.timeOfDay;
            const double endMark = tc.markS + row.time + 60.0 / row.speed;
            if (endMark > tc.validFromS) {
                ASSERT_LT(i, p.uts.size());
                const double lag = tc.startOfRecording + endMark - p.uts[i];
                EXPECT_GE(lag, tc.lagMin)
                    << "true " << tc.startOfRecording + endMark << " decoded " << p.uts[i];
                EXPECT_LE(lag, tc.lagMax)
                    << "true " << tc.startOfRecording + endMark << " decoded " << p.uts[i];
                ++timeChecked;
            }
        }
        if (row.fault)
            continue;
        // Two arrivals rounded to the counter: at most one tick of the revolution.
        const double quantum = p.diametr * kPi * p.freq[i] / out.speedFactor;
        for (std::size_t b = 0; b < p.ampl.size(); ++b) {
            const long k = row.sample - p.offset[b];
            if (k < 0 || k >= static_cast<long>(p.ampl[b].size()))
                continue; // the first or last revolution of a blade seen in the next turn
            const double truthValue = row.ampl.at(b);
            ASSERT_NEAR(p.ampl[b][static_cast<std::size_t>(k)], truthValue,
                        quantum * 1.001 + 1e-6 * std::fabs(truthValue))
                << "blade " << b + 1;
        }
        ++checked;
    }
    EXPECT_GE(checked, want.minChecked);
    if (want.timeOfDay) {
        EXPECT_GE(timeChecked, want.minChecked);
    }
}

// Days from 30 December 1899 (the recorder's day zero) to a date.
double daysSince1899(int y, unsigned m, unsigned d)
{
    using namespace std::chrono;
    return static_cast<double>(
        (sys_days{year{y} / month{m} / day{d}} - sys_days{year{1899} / December / day{30}}).count());
}

// A 24-blade free stage; `extra` adds fields (without a leading comma).
std::string stageJson(const std::string &probes, const std::string &pairs, const std::string &extra = "")
{
    return R"({"name": "S1", "blades": 24, "diameter_mm": 800, "static_coeff": 2e-8,
               "resonances": [{"eo": 5, "natural_hz": 150, "forcing_mm": 0.01}],
               "probes": [)" +
           probes + R"(], "pairs": [)" + pairs + "]" + (extra.empty() ? "" : ", " + extra) + "}";
}

const std::string kTwoPairProbes =
    R"({"name": "K1", "channel": 2, "kind": "root", "angle_deg": 20},
       {"name": "P1", "channel": 3, "kind": "tip", "angle_deg": 23.2},
       {"name": "P2", "channel": 4, "kind": "tip", "angle_deg": 200.5})";
const std::string kTwoPairs = R"({"name": "Pa1", "root": "K1", "tip": "P1"},
                                 {"name": "Pa2", "root": "K1", "tip": "P2"})";

// Include gates of one pitch each for 24 blades on channel `ch`, starting
// `offset` pitches into each blade's pitch; with an offset the last gate
// reaches past the end of the revolution.
void addPitchGates(TAngleGates &gates, int ch, double offset)
{
    for (int b = 0; b < 24; ++b) {
        TAngleGate g;
        g.Chan = static_cast<std::uint8_t>(ch);
        g.TachoChan = 0;
        g.Blade = static_cast<std::uint8_t>(b);
        g.demon = 1;
        g.lpillar = static_cast<float>((b + offset) / 24.0);
        g.rpillar = static_cast<float>(b == 23 && offset > 0 ? 1.01 : (b + 1 + offset) / 24.0);
        gates.AddGt(g);
    }
}

} // namespace

// Falling speed from 9000 to 2500 rev/min with two tacho pulses per
// revolution; a free and a shrouded stage.
TEST(PipelineTruth, RundownWithTachoDivisorTwo)
{
    TempDir dir;
    const Tallies t = simulate(dir, {"rundown", "--scale", "0.1"});
    const Outcome out = runPipeline(dir / "sim.lfm");
    ASSERT_EQ(out.cfg->Stages[0].TachoComb.divisor, 1) << "the preset counts two pulses per revolution";
    const auto &freq = out.pairs.at({0, 0}).freq;
    ASSERT_GT(freq.size(), 100u);
    EXPECT_GT(freq.front(), 2 * freq.back()) << "the speed falls";
    checkAgainstTruth(out, t, dir / "sim.truth.csv", {});
}

// The compressed recording is unpacked and gives the same revolutions; the
// recording also carries an IRIG-B time code that crosses midnight.
TEST(PipelineTruth, CompressedRecordingWithIrigTimeCode)
{
    TempDir dir;
    const std::string json = R"({"duration_s": 3.6, "start_time": "23:59:58", "date": "2024-03-15",
        "speed": {"steady_rpm": 3000}, "time_code": {"kind": "irig-b", "channel": 16},
        "stages": [)" + stageJson(kTwoPairProbes, kTwoPairs) +
                             "]}";
    const Tallies t = simulateScenario(dir, json, true);
    const Outcome out = runPipeline(dir / "sim.lfm", dir / "sim.bldx");
    ASSERT_TRUE(out.cfg->FileName.ends_with(".bldx"));
    // The start mark is the second tacho pulse, two revolutions in. A frame is
    // decoded when the marker that ends it arrives (8 ms into the next
    // second) and carries the second it began with; the decoder then counts
    // 10 ms per element. So the decoded time trails the true time by one
    // second plus 2 to 8 ms of the element's edge plus up to one element.
    // Locking on the markers and the 90 frames of hold-off take up to 2 s.
    TimeOfDayCheck tc;
    tc.startOfRecording = daysSince1899(2024, 3, 15) * 86400 + 23 * 3600 + 59 * 60 + 58;
    tc.markS = 2 * 60.0 / 3000;
    tc.validFromS = 2.2;
    tc.lagMin = 1.002 - 1e-4;
    tc.lagMax = 1.018 + 1e-4;
    checkAgainstTruth(out, t, dir / "sim.truth.csv", {{}, tc, 50});
}

// SEV time code and a counter that wraps 1.2 s into the recording.
TEST(PipelineTruth, CounterWrapWithSevTimeCode)
{
    TempDir dir;
    const std::string json = R"({"duration_s": 2.5, "start_time": "10:15:30", "start_ticks": 4246967295,
        "speed": {"steady_rpm": 3000, "drift_rpm": 1}, "time_code": {"kind": "sev", "channel": 16},
        "stages": [)" + stageJson(kTwoPairProbes, kTwoPairs) +
                             "]}";
    const Tallies t = simulateScenario(dir, json);
    const Outcome out = runPipeline(dir / "sim.lfm");
    const auto &time = out.pairs.at({0, 0}).time;
    ASSERT_GT(time.size(), 100u);
    EXPECT_GT(time.back(), 2.0) << "the revolutions after the wrap are there";
    // SEV: the word of a second is complete 32 ms into it (at the last bit's
    // pulse, up to 0.92 ms early for a one) and sets that second and 32 ms;
    // then every millisecond counts one. The pulse that starts the word
    // counts none, so within the word the decoded time trails by one more
    // millisecond. (Seconds 30 ... 32 end their word with a zero bit, so no
    // disturbance follows the word.)
    TimeOfDayCheck tc;
    tc.startOfRecording = 10 * 3600 + 15 * 60 + 30;
    tc.markS = 2 * 60.0 / 3000;
    tc.validFromS = 1.05;
    tc.lagMin = -0.92e-3 - 1e-4;
    tc.lagMax = 2e-3 + 1e-4;
    checkAgainstTruth(out, t, dir / "sim.truth.csv", {{}, tc, 50});
}

// No tacho channel: the detector finds the revolution from the blade spacing
// seen by a root probe and the signature file beside the configuration.
TEST(PipelineTruth, SignatureTachoDetector)
{
    TempDir dir;
    const std::string probes =
        kTwoPairProbes + R"(, {"name": "K0", "channel": 5, "kind": "root", "angle_deg": 100})";
    const std::string json =
        R"({"duration_s": 2.0, "tacho": {"mode": "signature"},
        "speed": {"points": [[0, 3000], [2.0, 3600]]},
        "stages": [)" +
        stageJson(probes, kTwoPairs, R"("pitch_irregularity": 0.05, "signature_probe": "K0")") + "]}";
    const Tallies t = simulateScenario(dir, json);
    ASSERT_TRUE(fs::exists(dir / "signatureCh5.shp"));
    const Outcome out = runPipeline(dir / "sim.lfm");
    EXPECT_EQ(out.cfg->Stages[0].TachoComb.divisor, 254);
    checkAgainstTruth(out, t, dir / "sim.truth.csv", {});

    // Without the signature file the detector never fires: a message, and no revolution.
    fs::remove(dir / "signatureCh5.shp");
    const Outcome blind = runPipeline(dir / "sim.lfm");
    EXPECT_EQ(blind.pairs.at({0, 0}).size, 0);
    EXPECT_TRUE(std::any_of(blind.messages.begin(), blind.messages.end(),
                            [](const Message &m) { return m.caption == "signature"; }));
}

// Angle gates on evenly spaced blades (blade b passes the first root probe
// (b + 0.5) / 24 of a revolution after the mark, and every probe sits a
// whole number of pitches plus at most a quarter pitch from it): one include
// gate per pitch keeps every blade pulse; an exclude gate over the whole
// revolution removes one tip probe and with it every revolution of its pair.
TEST(PipelineTruth, AngleGates)
{
    TempDir dir;
    const double pitchDeg = 15;
    const std::string probes = R"({"name": "K1", "channel": 2, "kind": "root", "angle_deg": 20},
        {"name": "P1", "channel": 3, "kind": "tip", "angle_deg": )" +
                               vibrolan::test::textOf(20 + pitchDeg / 4) + R"(},
        {"name": "K2", "channel": 4, "kind": "root", "angle_deg": 140},
        {"name": "P2", "channel": 5, "kind": "tip", "angle_deg": )" +
                               vibrolan::test::textOf(140 + pitchDeg / 4) + "}";
    const std::string pairs = R"({"name": "Pa1", "root": "K1", "tip": "P1"},
                                 {"name": "Pa2", "root": "K2", "tip": "P2"})";
    const std::string json = R"({"duration_s": 1.5, "speed": {"steady_rpm": 3000, "drift_rpm": 30},
        "stages": [)" + stageJson(probes, pairs, R"("pitch_irregularity": 0)") +
                             "]}";
    const Tallies t = simulateScenario(dir, json);

    {
        SCOPED_TRACE("include gates, one per pitch");
        TAngleGates gates;
        gates.setComdemon(true);
        // Root pulses come half a pitch into their pitch, tip pulses three
        // quarters: each gate is one pitch centred on its blade (the last tip
        // gate reaches past the end of the revolution).
        for (const auto &[ch, centre] : {std::pair{1, 0.5}, {2, 0.75}, {3, 0.5}, {4, 0.75}})
            addPitchGates(gates, ch, centre - 0.5);
        // Through a gate file, as the configuration dialog loads it.
        gates.Gates2File(dir / "keep.gts", "sim.bld", "every blade");
        TAngleGates loaded(dir / "keep.gts");
        ASSERT_EQ(loaded.NGates(), 96);
        const Outcome out = runPipeline(dir / "sim.lfm", {}, &loaded);
        for (const auto &[key, snap] : out.pairs)
            EXPECT_EQ(snap.bad, 0) << snap.pair;
        checkAgainstTruth(out, t, dir / "sim.truth.csv", {});
    }
    {
        SCOPED_TRACE("one tip probe excluded");
        TAngleGates gates;
        gates.setComdemon(false);
        TAngleGate g;
        g.Chan = 4; // P2
        g.TachoChan = 0;
        g.demon = 0;
        g.lpillar = -0.01F;
        g.rpillar = 1.01F;
        gates.AddGt(g);
        const Outcome out = runPipeline(dir / "sim.lfm", {}, &gates);
        checkAgainstTruth(out, t, dir / "sim.truth.csv", {{"Pa2"}, {}, 50});
        EXPECT_TRUE(std::any_of(out.messages.begin(), out.messages.end(), [](const Message &m) {
            return m.caption.find("Pa2") != std::string::npos && m.text.find("100") != std::string::npos;
        }));
    }
}

// Include gates, one per pitch, when a tip probe sits a whole pitch after its
// root probe: the tip probe sees the previous turn's last blade first, so
// this turn's last blade passes it after the next mark. That pulse is folded
// back onto the first pitch's gate, which the previous turn's blade has
// taken, so the pass cannot take it: every revolution of that pair is
// rejected (none is accepted with some other record as the tip arrival). The
// other pair, whose blades all lie within their gates, keeps the revolutions
// and deflections of the truth.
TEST(PipelineTruth, IncludeGatesWhenTheTipProbeFirstSeesThePreviousTurn)
{
    TempDir dir;
    const std::string probes = R"({"name": "K1", "channel": 2, "kind": "root", "angle_deg": 20},
        {"name": "P1", "channel": 3, "kind": "tip", "angle_deg": 35},
        {"name": "K2", "channel": 4, "kind": "root", "angle_deg": 140},
        {"name": "P2", "channel": 5, "kind": "tip", "angle_deg": 143.75})";
    const std::string pairs = R"({"name": "Pa1", "root": "K1", "tip": "P1"},
                                 {"name": "Pa2", "root": "K2", "tip": "P2"})";
    const std::string json = R"({"duration_s": 1.5, "speed": {"steady_rpm": 3000, "drift_rpm": 30},
        "stages": [)" + stageJson(probes, pairs, R"("pitch_irregularity": 0)") +
                             "]}";
    const Tallies t = simulateScenario(dir, json);
    ASSERT_EQ(t.at({"S1", "Pa1"}).rejected, 0) << "without gates every revolution of Pa1 is whole";

    // Blade b passes K1 (b + 0.5) / 24 and P1 (b + 1.5) / 24 of a revolution
    // after the mark; K2 and P2 eight pitches and a quarter pitch later.
    TAngleGates gates;
    gates.setComdemon(true);
    for (const auto &[ch, offset] : {std::pair{1, 0.0}, {2, 0.0}, {3, 0.0}, {4, 0.25}})
        addPitchGates(gates, ch, offset);
    const Outcome out = runPipeline(dir / "sim.lfm", {}, &gates);
    EXPECT_EQ(out.pairs.at({0, 1}).bad, 0);
    checkAgainstTruth(out, t, dir / "sim.truth.csv", {{"Pa1"}, {}, 50});
    EXPECT_TRUE(std::any_of(out.messages.begin(), out.messages.end(), [](const Message &m) {
        return m.caption.find("Pa1") != std::string::npos && m.text.find("100") != std::string::npos;
    }));
}

// A run-up through one synchronous resonance (engine order 5 of a 500 Hz
// mode: 6000 rev/min) on evenly spaced, tuned blades. The middle line is the
// quasi-static c * rpm^2 part and the resonance curve of every blade that the
// tip probe sees near the top of its swing peaks at the resonance speed.
TEST(PipelineTruth, MiddleLineAndResonanceCurveOfARunUp)
{
    TempDir dir;
    constexpr int kBlades = 24, kEo = 5;
    constexpr double kNaturalHz = 500, kDamping = 0.01, kStatic = 1e-7;
    constexpr double kRootDeg = 20, kTipDeg = 20 + 15.0 / 4;
    const double resonanceRpm = 60 * kNaturalHz / kEo;
    const std::string json = R"({"duration_s": 15, "speed": {"points": [[0, 4500], [15, 7500]]},
        "analysis": {"dN": 50},
        "stages": [{"name": "S1", "blades": 24, "diameter_mm": 800, "static_coeff": 1e-7,
                    "pitch_irregularity": 0, "mistuning": 0,
                    "resonances": [{"eo": 5, "natural_hz": 500, "damping": 0.01, "forcing_mm": 0.002}],
                    "probes": [{"name": "K1", "channel": 2, "kind": "root", "angle_deg": 20},
                               {"name": "P1", "channel": 3, "kind": "tip", "angle_deg": 23.75}],
                    "pairs": [{"name": "Pa1", "root": "K1", "tip": "P1"}]}]})";
    simulateScenario(dir, json);
    const Outcome out = runPipeline(dir / "sim.lfm");
    const TCfgDfm &cfg = *out.cfg;
    ASSERT_EQ(cfg.Mode, TMode::mdDynamic);
    const TPair &p = cfg.Stages[0].Pairs[0];
    const auto n = static_cast<std::size_t>(p.Size);
    ASSERT_GT(n, 1000u);

    // Middle line: a quadratic in the speed; its curvature is the blades'
    // c and its change over the run is c * (F^2 - F0^2). The resonance
    // (0.1 mm high, about pi * 0.1 mm * 60 rev/min of area, in the middle of
    // the 3000 rev/min run) bends the least-squares curvature by up to
    // 45 * area / (24 * 1500^3), about a tenth of c, either way.
    std::size_t lo = 0, hi = 0;
    for (std::size_t i = 0; i < n; ++i) {
        lo = p.Freq[i] < p.Freq[lo] ? i : lo;
        hi = p.Freq[i] > p.Freq[hi] ? i : hi;
    }
    std::size_t mid = lo;
    const double fMid = 0.5 * (p.Freq[lo] + p.Freq[hi]);
    for (std::size_t i = 0; i < n; ++i)
        if (std::fabs(p.Freq[i] - fMid) < std::fabs(p.Freq[mid] - fMid))
            mid = i;
    for (std::size_t b = 0; b < kBlades; ++b) {
        const auto &m = p.MiddleLine[b];
        ASSERT_EQ(m.size(), n);
        const double f0 = p.Freq[lo], f1 = p.Freq[mid], f2 = p.Freq[hi];
        const double d01 = (m[mid] - m[lo]) / (f1 - f0), d12 = (m[hi] - m[mid]) / (f2 - f1);
        const double curvature = (d12 - d01) / (f2 - f0);
        EXPECT_NEAR(curvature, kStatic, 0.2 * kStatic) << "blade " << b + 1;
        const double span = kStatic * (f2 * f2 - f0 * f0);
        for (std::size_t i = 0; i < n; i += 97)
            EXPECT_NEAR(m[i] - m[lo], kStatic * (p.Freq[i] * p.Freq[i] - f0 * f0), 0.03 * span)
                << "blade " << b + 1 << " at " << p.Freq[i];
    }

    // The tip probe sees blade b at the shaft angle (b + 0.5) / 24 + lag of a
    // revolution, so its motion phase there is 2 pi EO ((2b + 0.5) / 24 + lag):
    // at resonance (90 degrees behind the forcing) the sampled deflection is
    // the amplitude times the sine of that phase. Blades near +1 show a hump
    // whose top lies within the damping's width (plus the dN windows) of the
    // resonance speed; the curve keeps no negative values, so the others show none.
    const double lag = (kTipDeg - kRootDeg) / 360;
    int tested = 0;
    for (int b = 0; b < kBlades; ++b) {
        const double psi = 2 * M_PI * kEo * ((2.0 * b + 0.5) / kBlades + lag);
        if (std::sin(psi) < 0.8)
            continue;
        const auto &rc = p.ResonanceCurve[static_cast<std::size_t>(b)];
        ASSERT_EQ(rc.size(), n);
        const auto peak = static_cast<std::size_t>(std::max_element(rc.begin(), rc.end()) - rc.begin());
        EXPECT_NEAR(p.Freq[peak], resonanceRpm, kDamping * resonanceRpm + cfg.dN)
            << "blade " << b + 1 << " sin(phase) " << std::sin(psi);
        // The peak stands well above the curve away from the resonance.
        double far = 0;
        for (std::size_t i = 0; i < n; ++i)
            if (std::fabs(p.Freq[i] - resonanceRpm) > 600)
                far = std::max(far, static_cast<double>(rc[i]));
        EXPECT_GT(rc[peak], 5 * far) << "blade " << b + 1;
        ++tested;
    }
    EXPECT_GE(tested, 4);
}

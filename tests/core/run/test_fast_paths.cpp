// The fast forms of the run (all stages in one walk of the recording, the
// stage computation on several threads) against the plain ones (a walk per
// stage, one thread): every series, histogram, table, message and report
// line must be the same, bit for bit, on every simulator preset and for any
// number of threads.
#include "tools/sim_test_support.hpp"

#include "base/histogram.hpp"
#include "compute/spike_filters.hpp"
#include "output/report.hpp"
#include "recording/angle_gates.hpp"
#include "run/processing_run.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

using namespace vibrolan;
using namespace vibrolan::test;

namespace {

// The results of one run as named byte strings.
struct Snapshot {
    std::vector<std::pair<std::string, std::string>> parts;
    std::vector<std::string> messages, report;

    template <typename T> void add(const std::string &name, const T *data, std::size_t n)
    {
        parts.emplace_back(name, std::string(reinterpret_cast<const char *>(data), n * sizeof(T)));
    }
    template <typename V> void addVector(const std::string &name, const V &v)
    {
        add(name, v.data(), v.size());
    }
    template <typename T> void addValue(const std::string &name, const T &v) { add(name, &v, 1); }
};

void snapshotHistogram(Snapshot &s, const std::string &name, const THistogramm *h)
{
    if (!h) {
        s.addValue(name + ".none", 0);
        return;
    }
    std::vector<std::uint32_t> bins;
    for (int i = 0; i < h->Ns(); ++i)
        bins.push_back(h->readonestick(i));
    s.addVector(name + ".bins", bins);
    s.addVector(name + ".bounds", h->bounds());
    const double moments[] = {h->MV(), h->RMSV(), h->fmedian(), h->summaXm(), h->Step()};
    s.add(name + ".moments", moments, 5);
    s.addValue(name + ".count", h->Count());
}

Snapshot snapshotResults(const TCfgDfm &cfg, const TRunResult &r)
{
    Snapshot s;
    s.addVector("RevCount", r.RevCount);
    for (std::size_t st = 0; st < cfg.CountStage; ++st) {
        const TStage &stage = cfg.Stages[st];
        const std::string sn = "stage" + std::to_string(st);
        s.add(sn + ".Correlation", &stage.Correlation, 1);
        s.add(sn + ".dDeviation", stage.dDeviation.data(), stage.dDeviation.size());
        s.add(sn + ".ResAmplitude", stage.ResAmplitude.data(), stage.ResAmplitude.size());
        for (std::size_t h = 0; h < kMaxHarmonics; ++h)
            s.add(sn + ".Harm" + std::to_string(h), stage.Harm[h].data(), stage.Harm[h].size());
        s.addVector(sn + ".HarmStage", stage.HarmStage);
        for (std::size_t p = 0; p < stage.CountPairs; ++p) {
            const TPair &pair = stage.Pairs[p];
            const std::string pn = sn + ".pair" + std::to_string(p);
            const std::int32_t counts[] = {pair.Size, pair.SizeOfBad, pair.CountInterval};
            s.add(pn + ".counts", counts, 3);
            s.addVector(pn + ".Freq", pair.Freq);
            s.addVector(pn + ".Time", pair.Time);
            s.addVector(pn + ".UTS_Time", pair.UTS_Time);
            const float pairValues[] = {pair.MeanInPair, pair.RMSInPair};
            s.add(pn + ".inPair", pairValues, 2);
            for (const auto *table : {&pair.Mean, &pair.RMS, &pair.lopmin, &pair.lopmax, &pair.Deviation,
                                      &pair.Astat, &pair.stStallingOscill, &pair.stStress})
                s.add(pn + ".table", table->data(), table->size());
            s.add(pn + ".PairResAmplitude", pair.PairResAmplitude.data(), pair.PairResAmplitude.size());
            s.add(pn + ".AmplOffs", pair.AmplOffs.data(), pair.AmplOffs.size());
            for (std::size_t b = 0; b < stage.CountBlade; ++b) {
                const std::string bn = pn + ".blade" + std::to_string(b);
                s.addVector(bn + ".Ampl", pair.Ampl[b]);
                s.addVector(bn + ".MiddleLine", pair.MiddleLine[b]);
                s.addVector(bn + ".Velocity", pair.Velocity[b]);
                s.addVector(bn + ".Stress", pair.Stress[b]);
                s.addVector(bn + ".ResonanceCurve", pair.ResonanceCurve[b]);
                s.addVector(bn + ".StallingOscill", pair.StallingOscill[b]);
                s.addVector(bn + ".CmprssResnceCurve", pair.CmprssResnceCurve[b]);
                snapshotHistogram(s, bn + ".histogram", pair.histgrms[b].get());
            }
        }
    }
    return s;
}

struct Variant {
    bool straightforward;
    unsigned threads;
};

using Tweak = std::function<void(TCfgDfm &)>;

Snapshot runOnce(const std::filesystem::path &lfm, const Variant &v, TAngleGates *gates, const Tweak &tweak)
{
    TCfgDfm cfg;
    cfg.InitDefault();
    cfg.LoadFromFile(lfm);
    if (tweak)
        tweak(cfg);
    cfg.UseGates = gates != nullptr;
    RecordingMessageSink sink;
    TRunInputs inputs;
    inputs.CfgFileName = lfm;
    inputs.Gates = gates;
    inputs.Threads = v.threads;
    inputs.Straightforward = v.straightforward;
    std::vector<std::string> report;
    TRunCallbacks cb;
    cb.report = [&](const TCfgDfm &c) {
        TBladeReport rep;
        rep.GenerateReport(c, NumberFormat{',', {}, {}});
        report = rep.Lines();
    };
    const TRunResult r = ProcessingRun(cfg, inputs, sink, NumberFormat{',', {}, {}}, cb);
    EXPECT_EQ(r.status, TRunStatus::Done);
    Snapshot s = snapshotResults(cfg, r);
    for (const Message &m : sink.messages())
        s.messages.push_back(m.caption + " | " + m.text);
    s.report = std::move(report);
    return s;
}

void expectSame(const Snapshot &ref, const Snapshot &got, const std::string &what)
{
    EXPECT_EQ(ref.messages, got.messages) << what;
    EXPECT_EQ(ref.report, got.report) << what;
    ASSERT_EQ(ref.parts.size(), got.parts.size()) << what;
    for (std::size_t i = 0; i < ref.parts.size(); ++i) {
        ASSERT_EQ(ref.parts[i].first, got.parts[i].first) << what;
        ASSERT_TRUE(ref.parts[i].second == got.parts[i].second)
            << what << ": " << ref.parts[i].first << " differs";
    }
}

// Runs the plain form and the fast one with 1, 2, 3 and 7 threads.
void compareForms(const std::filesystem::path &lfm, const std::string &name, TAngleGates *gates = nullptr,
                  const std::function<void(const Snapshot &)> &checkReference = {}, const Tweak &tweak = {})
{
    const Snapshot ref = runOnce(lfm, {true, 1}, gates, tweak);
    // The comparison means something only when the run produced revolutions.
    ASSERT_FALSE(ref.report.empty()) << name;
    if (checkReference)
        checkReference(ref);
    for (unsigned threads : {1U, 2U, 3U, 7U})
        expectSame(ref, runOnce(lfm, {false, threads}, gates, tweak),
                   name + ", " + std::to_string(threads) + " threads");
}

std::filesystem::path simulatePreset(const TempDir &dir, const sim::Scenario &s)
{
    sim::SimulationOptions opt;
    opt.outDir = dir.path();
    opt.name = "sim";
    opt.truth = false;
    opt.threads = 1;
    return sim::simulate(s, opt).lfm;
}

} // namespace

TEST(FastPaths, EveryPresetGivesThePlainFormsResults)
{
    for (const std::string &name : sim::presetNames()) {
        SCOPED_TRACE(name);
        TempDir dir;
        const auto lfm = simulatePreset(dir, shortPreset(name));
        compareForms(lfm, name, nullptr, [&](const Snapshot &ref) {
            if (name == "faults") { // the rejection reports must be there to be compared
                EXPECT_FALSE(ref.messages.empty());
            }
        });
    }
}

TEST(FastPaths, SignatureTachoAndGatesGiveThePlainFormsResults)
{
    {
        SCOPED_TRACE("signature tacho");
        TempDir dir;
        const auto lfm = simulatePreset(dir, sim::parseScenario(kSignatureScenario));
        compareForms(lfm, "signature");
        // Without its signature file the detector reports it, before the
        // stage's rejection report, in both forms.
        for (const auto &e : std::filesystem::directory_iterator(dir.path()))
            if (e.path().extension() == ".shp")
                std::filesystem::remove(e.path());
        compareForms(lfm, "no signature", nullptr,
                     [](const Snapshot &ref) { EXPECT_GE(ref.messages.size(), 2u); });
    }
    {
        SCOPED_TRACE("gates on a run-up with a time code");
        TempDir dir;
        const auto lfm = simulatePreset(dir, shortPreset("runup"));
        TCfgDfm cfg;
        cfg.InitDefault();
        cfg.LoadFromFile(lfm);
        // An exclude gate on the tip probe of the first pair over a third of the turn.
        TAngleGates gates;
        gates.setComdemon(false);
        TAngleGate g;
        g.Chan = cfg.Sensors[cfg.Stages[0].Pairs[0].Peak].Chan;
        g.TachoChan = cfg.Sensors[cfg.Stages[0].TachoComb.sensNumber].Chan;
        g.demon = 0;
        g.lpillar = 0.3F;
        g.rpillar = 0.65F;
        gates.AddGt(g);
        compareForms(lfm, "gates", &gates, [](const Snapshot &ref) { EXPECT_FALSE(ref.messages.empty()); });
    }
}

// The spike guards (the speed series filtered again before every blade until
// a pass changes nothing) and the running-mean separation.
TEST(FastPaths, SpikeGuardsAndRunningMeanGiveThePlainFormsResults)
{
    TempDir dir;
    const auto lfm = simulatePreset(dir, shortPreset("faults"));
    for (const std::uint16_t method : {0, 1}) {
        SCOPED_TRACE(method);
        compareForms(lfm, "faults with guards", nullptr, {}, [method](TCfgDfm &cfg) {
            cfg.thNumPoint = static_cast<std::uint16_t>(kPointWordOn | 3);
            cfg.LoTaho = 0.05;
            cfg.HiTaho = 0.5;
            cfg.mgNumPoint = static_cast<std::uint16_t>(kPointWordOn | 2);
            cfg.LoAmpl = 0.001;
            cfg.HiAmpl = 0.02;
            cfg.Method = method;
        });
    }
}

// The files the simulator writes: deterministic, readable with the recording
// and configuration readers, and compressible without loss.
#include "sim_test_support.hpp"

#include "base/errors.hpp"
#include "base/message_sink.hpp"
#include "config/cfg_dfm.hpp"
#include "recording/bldx_decoder.hpp"
#include "recording/recording_image.hpp"

#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>

using namespace vibrolan;
using namespace vibrolan::test;

TEST(SimulatorFiles, SameScenarioAndSeedGiveIdenticalFiles)
{
    TempDir dir;
    const sim::Scenario sc = shortPreset("faults");
    sim::SimulationOptions opt;
    opt.outDir = dir.path();
    opt.bldx = true;
    const auto r1 = sim::simulate(sc, opt);
    std::map<std::string, std::string> first;
    for (const auto &f : {r1.bld, r1.bldx, r1.lfm, r1.truth})
        first[f.filename().string()] = fileBytes(f);
    const auto r2 = sim::simulate(sc, opt);
    for (const auto &f : {r2.bld, r2.bldx, r2.lfm, r2.truth})
        EXPECT_EQ(fileBytes(f), first[f.filename().string()]) << f;

    opt.seed = 99; // other faults, other noise
    const auto r3 = sim::simulate(sc, opt);
    EXPECT_NE(fileBytes(r3.bld), first[r1.bld.filename().string()]);
}

TEST(SimulatorFiles, RecordingReadsBackWithExpectedChannelsCountsAndDuration)
{
    TempDir dir;
    const sim::Scenario sc = shortPreset("runup");
    sim::SimulationOptions opt;
    opt.outDir = dir.path();
    const auto res = sim::simulate(sc, opt);
    const RecordingImage img = RecordingImage::mapFile(res.bld);
    const RecordingHeader &h = img.header();
    EXPECT_EQ(h.RecorderCode, 1200);
    EXPECT_DOUBLE_EQ(img.tickPeriod(), 2.5e-8);
    // tacho, K1, P1, P2, K2, P3, time code
    const std::vector<std::pair<int, int>> expected = {{1, 4}, {2, 0}, {3, 1}, {4, 1},
                                                       {5, 0}, {6, 1}, {16, 8}};
    ASSERT_EQ(h.channels.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(h.channels[i].ChanNo, expected[i].first);
        EXPECT_EQ(h.channels[i].ChanSensorType, expected[i].second);
    }
    EXPECT_EQ(h.channels[1].nameUtf8(), "K1");
    EXPECT_EQ(img.recordCount(), res.records);

    std::map<int, std::uint64_t> perChannel;
    double ticks = 0;
    int wraps = 0;
    TIndex prev = img.recordUnchecked(img.firstRecord());
    for (std::uint64_t k = img.firstRecord(); k < img.slotCount(); ++k) {
        const TIndex r = img.recordUnchecked(k);
        ++perChannel[r.RCh() + 1];
        const std::int64_t d = r - prev;
        ASSERT_GE(d, 0) << "records out of time order at " << k;
        ticks += static_cast<double>(d);
        wraps += r.Ticks < prev.Ticks;
        prev = r;
    }
    EXPECT_EQ(wraps, 1); // the preset starts the counter 2 s before it wraps
    EXPECT_NEAR(ticks * 2.5e-8, 3.0, 0.05);
    // Revolutions of the shaft over 3 s at 3000..9000 rpm: 300.
    const auto revs = static_cast<double>(perChannel[1]);
    EXPECT_NEAR(revs, 300, 3);
    for (int ch : {2, 3, 4})
        EXPECT_NEAR(static_cast<double>(perChannel[ch]), 24 * revs, 2 * 24);
    for (int ch : {5, 6})
        EXPECT_NEAR(static_cast<double>(perChannel[ch]), 37 * revs, 2 * 37);
    EXPECT_NEAR(static_cast<double>(perChannel[16]), 300, 2); // IRIG-B: 100 edges a second
}

TEST(SimulatorFiles, ConfigurationDescribesTheRecording)
{
    TempDir dir;
    const sim::Scenario sc = shortPreset("rundown");
    sim::SimulationOptions opt;
    opt.outDir = dir.path();
    const auto res = sim::simulate(sc, opt);
    TCfgDfm cfg;
    cfg.LoadFromFile(res.lfm);
    EXPECT_EQ(cfg.FileName, res.bld.string());
    ASSERT_EQ(cfg.CountSensors, 6);
    EXPECT_EQ(cfg.Sensors[0].TypeSensor, TTypeSensor::srTaho);
    EXPECT_EQ(cfg.Sensors[0].Chan, 0);
    EXPECT_EQ(cfg.Sensors[3].NameSensor, "P2");
    EXPECT_EQ(cfg.Sensors[3].Chan, 3);
    ASSERT_EQ(cfg.CountStage, 2);
    const TStage &st = cfg.Stages[0];
    EXPECT_EQ(st.CountBlade, 24);
    EXPECT_DOUBLE_EQ(st.Diametr, 800);
    EXPECT_EQ(st.TachoComb.divisor, 1); // two pulses per revolution
    EXPECT_EQ(st.TachoComb.sensNumber, 0);
    ASSERT_EQ(st.CountPairs, 2);
    EXPECT_EQ(st.Pairs[0].Root, 1);
    EXPECT_EQ(st.Pairs[0].Peak, 2);
    EXPECT_EQ(st.Pairs[0].SkipBlade, 0);
    EXPECT_EQ(st.Pairs[1].SkipBlade,
              12); // the tip probe half a turn on sees 12 blades of the last turn first
    EXPECT_TRUE(st.Pairs[1].Checked);
    for (int k = 0; k < 24; ++k)
        EXPECT_EQ(st.Pairs[0].NumberBlade[k], k);
    EXPECT_EQ(cfg.Stages[1].TypeStage, TTypeStage::tsBandag);
    EXPECT_EQ(cfg.Mode, TMode::mdDynamic);
    EXPECT_LE(cfg.Range._From, 0);
    EXPECT_GE(cfg.Range._To, sc.durationS);
}

TEST(SimulatorFiles, CompressedRecordingUnpacksToTheSameImageForEveryPreset)
{
    for (const auto &name : sim::presetNames()) {
        SCOPED_TRACE(name);
        TempDir dir;
        sim::SimulationOptions opt;
        opt.outDir = dir.path();
        opt.bldx = true;
        opt.truth = false;
        const auto res = sim::simulate(shortPreset(name), opt);
        RecordingMessageSink sink;
        const UnpackResult u = UnpackRecording(res.bldx, sink);
        EXPECT_TRUE(sink.messages().empty());
        EXPECT_EQ(u.failedBlocks(), 0u);
        EXPECT_EQ(std::string(u.image.begin(), u.image.end()), fileBytes(res.bld));
        EXPECT_LT(std::filesystem::file_size(res.bldx), std::filesystem::file_size(res.bld));
    }
}

TEST(SimulatorFiles, SignatureModeWritesSignatureFilesAndFindsRevolutions)
{
    const std::string json = kSignatureScenario;
    TempDir dir;
    sim::SimulationOptions opt;
    opt.outDir = dir.path();
    const auto res = sim::simulate(sim::parseScenario(json), opt);
    ASSERT_EQ(res.signatures.size(), 1u);
    EXPECT_EQ(res.signatures[0].filename(), "signatureCh7.shp");
    const std::string sig = fileBytes(res.signatures[0]);
    ASSERT_EQ(sig.size(), 17u * 4);
    double sum = 0;
    for (int i = 0; i < 17; ++i) {
        float v;
        std::memcpy(&v, sig.data() + 4 * i, 4);
        sum += v;
    }
    EXPECT_NEAR(sum, 0, 1e-5); // mean-free relative intervals

    TCfgDfm cfg;
    cfg.LoadFromFile(res.lfm);
    EXPECT_EQ(cfg.Stages[0].TachoComb.divisor, 254);
    EXPECT_EQ(cfg.Sensors[cfg.Stages[0].TachoComb.sensNumber].NameSensor, "KS");
    ASSERT_EQ(res.pairs.size(), 1u);
    // 200 turns. The start mark is counted in steps of 255 pulses from the
    // end, so it lies up to 510 pulses (30 turns) in; from there on the
    // detector finds every turn.
    EXPECT_GT(res.pairs[0].accepted, 200 - 31);
    EXPECT_LE(res.pairs[0].rejected, 4); // false marks while the detector fills its first turn
    EXPECT_EQ(res.pairs[0].faulty, 0);
}

TEST(SimulatorFiles, ExistingReadOnlyOutputIsLeftAlone)
{
    TempDir dir;
    const auto bld = dir / "steady.bld";
    {
        std::ofstream(bld) << "mine";
    }
    ::chmod(bld.c_str(), 0444);
    sim::SimulationOptions opt;
    opt.outDir = dir.path();
    // The missing write bit counts even for a user whose rights ignore it.
    EXPECT_THROW(sim::simulate(shortPreset("steady"), opt), FileError);
    EXPECT_EQ(fileBytes(bld), "mine");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "a temporary is left";
}

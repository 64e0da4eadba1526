// The whole conversion on small hand-made signals: the recording as the
// program reads it (channels, ticks, counter wraps), the same bytes for any
// number of threads and any block size, falling edges and several levels per
// channel against closed forms, the starter configuration, and bad input
// that leaves nothing behind.
#include "core/toa/signal_files.hpp"
#include "support/temp_dir.hpp"

#include "base/errors.hpp"
#include "base/file_io.hpp"
#include "base/message_sink.hpp"
#include "config/cfg_dfm.hpp"
#include "recording/recording_header.hpp"
#include "recording/recording_info.hpp"
#include "recording/tindex.hpp"
#include "toa/toa_conversion.hpp"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <fstream>

using namespace vibrolan;
using vibrolan::test::filesIn;
using vibrolan::test::TempDir;
using vibrolan::test::writeRawSignals;

namespace {

constexpr double kRate = 1e6;
constexpr std::size_t kFrames = 200000;
constexpr double kRevolution = 2000.5; // samples
constexpr int kBlades = 7;

// A tacho with a bipolar mark per revolution and a probe seeing kBlades
// blades (Gaussian pulses of height 0.8 + 0.1 sin, width 3 samples)
// on noise of 5 mV. The true crossing times are not needed here.
std::vector<std::vector<float>> rig()
{
    std::vector<float> tacho(kFrames), probe(kFrames);
    std::uint64_t s = 99;
    auto noise = [&] {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return (static_cast<double>(s >> 40) / 16777216.0 - 0.5) * 0.017;
    };
    for (std::size_t i = 0; i < kFrames; ++i) {
        const double x = static_cast<double>(i);
        const double rev = std::round((x - 500) / kRevolution);
        const double u = (x - 500 - rev * kRevolution) / 20;
        tacho[i] = static_cast<float>(u * std::exp(0.5 * (1 - u * u)) + noise());
        const double pitch = kRevolution / kBlades;
        const double k = std::round((x - 100) / pitch);
        const double v = (x - 100 - k * pitch) / 3;
        probe[i] = static_cast<float>((0.8 + 0.1 * std::sin(k)) * std::exp(-0.5 * v * v) + noise());
    }
    return {tacho, probe};
}

struct Read {
    RecordingHeader header;
    std::vector<TIndex> records;
};

Read readRecording(const std::filesystem::path &file)
{
    Read r;
    const auto bytes = readWholeFile(file);
    r.header = readRecordingHeader(bytes, file);
    for (std::size_t at = r.header.HeadLength; at + 6 <= bytes.size(); at += 6)
        r.records.push_back(loadRecord(bytes.data() + at));
    return r;
}

toa::ToaOptions baseOptions(const std::filesystem::path &sidecar, const std::filesystem::path &out)
{
    toa::ToaOptions o;
    o.inputs = {sidecar};
    o.out = out;
    o.recordDate = 45000.5;
    o.rules["O"].thresholds = {toa::Level{0, false}};
    o.rules["O"].hysteresis = toa::Level{0.3, false};
    return o;
}

TEST(ToaConversion, TheRecordingHoldsEveryPulseInTimeOrderAndWrapsLikeARecorder)
{
    TempDir dir;
    const auto sidecar = writeRawSignals(dir.path(), "rig", kRate, rig(), {"O", "P1"});
    auto o = baseOptions(sidecar, dir / "rec.bld");
    o.recorderCode = 1280;
    o.startTicks = 4294967295u - 5000000u; // wraps a third of the way in (16 ms at 12.5 ns)
    std::vector<std::pair<int, double>> seen;
    o.onPulse = [&](int ch, double s) { seen.emplace_back(ch, s); };
    const toa::ToaResult res = toa::convertSignals(o);

    const Read r = readRecording(dir / "rec.bld");
    EXPECT_EQ(r.header.RecorderCode, 1280);
    ASSERT_EQ(r.header.channels.size(), 2u);
    EXPECT_EQ(r.header.channels[0].ChanName, "O");
    EXPECT_EQ(r.header.channels[0].ChanSensorType, static_cast<int>(TTypeSensor::srTaho));
    EXPECT_EQ(r.header.channels[1].ChanNo, 2);
    ASSERT_EQ(r.records.size(), seen.size());
    const double revolutions = static_cast<double>(kFrames) / kRevolution;
    EXPECT_NEAR(static_cast<double>(res.channels[0].pulses), revolutions, 1.0);
    EXPECT_NEAR(static_cast<double>(res.channels[1].pulses), revolutions * kBlades, 2.0);
    bool wrapped = false;
    std::int64_t elapsed = 0; // ticks from the first record, across wraps
    const double first = seen.front().second;
    for (std::size_t i = 0; i < r.records.size(); ++i) {
        EXPECT_EQ(r.records[i].RCh(), seen[i].first);
        if (i > 0) {
            wrapped = wrapped || r.records[i].Ticks < r.records[i - 1].Ticks;
            const std::int64_t step = Diff(r.records[i].Ticks, r.records[i - 1].Ticks);
            ASSERT_GE(step, 0) << "record " << i;
            elapsed += step;
        }
        // Each record to the nearest tick of its own time.
        ASSERT_NEAR(static_cast<double>(elapsed), (seen[i].second - first) / 1.25e-8, 1.0) << "record " << i;
    }
    EXPECT_TRUE(wrapped);

    // The program's own reader sees the same.
    RecordingMessageSink sink;
    const RecordingInfo info = inspectRecording(dir / "rec.bld", false, sink);
    EXPECT_EQ(info.records, r.records.size());
}

TEST(ToaConversion, TheSameBytesForAnyNumberOfThreadsAndAnyBlockSize)
{
    TempDir dir;
    const auto sidecar = writeRawSignals(dir.path(), "rig", kRate, rig(), {"O", "P1"});
    std::vector<std::uint8_t> reference;
    for (unsigned threads : {1u, 2u, 3u})
        for (std::size_t block : {1000u, 4096u, 1u << 15}) {
            SCOPED_TRACE(std::to_string(threads) + " threads, blocks of " + std::to_string(block));
            auto o = baseOptions(sidecar, dir / "rec.bld");
            o.threads = threads;
            o.blockFrames = block;
            o.fraction = 0.5;
            o.interpolation = toa::Interpolation::Cubic;
            toa::convertSignals(o);
            const auto bytes = readWholeFile(dir / "rec.bld");
            if (reference.empty())
                reference = bytes;
            ASSERT_EQ(bytes, reference);
        }
}

TEST(ToaConversion, FallingEdgesAndSeveralLevelsPerChannel)
{
    TempDir dir;
    const auto up = writeRawSignals(dir.path(), "up", kRate, rig(), {"O", "P1"});
    auto mirrored = rig();
    for (float &x : mirrored[1])
        x = -x;
    const auto down = writeRawSignals(dir.path(), "down", kRate, mirrored, {"O", "P1"});
    auto times = [&](const std::filesystem::path &sidecar, bool falling) {
        auto o = baseOptions(sidecar, dir / "rec.bld");
        o.writeLfm = false;
        o.rules["P1"].edge = falling ? toa::Edge::Falling : toa::Edge::Rising;
        o.rules["P1"].thresholds = {toa::Level{30, true}, toa::Level{70, true}};
        std::vector<std::vector<double>> t(3);
        o.onPulse = [&](int ch, double s) { t[static_cast<std::size_t>(ch)].push_back(s); };
        const toa::ToaResult r = toa::convertSignals(o);
        EXPECT_EQ(r.channels[1].name, "P1:30%");
        EXPECT_EQ(r.channels[2].name, "P1:70%");
        // A falling edge has its levels on the way down from the top.
        EXPECT_LT(r.channels[1].level * (falling ? -1 : 1), r.channels[2].level * (falling ? -1 : 1));
        return t;
    };
    const auto rising = times(up, false), falling = times(down, true);
    for (std::size_t ch : {1u, 2u}) {
        ASSERT_EQ(rising[ch].size(), falling[ch].size());
        ASSERT_GT(rising[ch].size(), 600u);
        // The mirrored signal gives the same times; the higher level is
        // crossed later on the leading edge of a Gaussian pulse.
        for (std::size_t i = 0; i < rising[ch].size(); ++i)
            ASSERT_NEAR(falling[ch][i], rising[ch][i], 1e-9 / kRate) << "channel " << ch << " pulse " << i;
    }
    for (std::size_t i = 0; i < rising[1].size(); ++i)
        ASSERT_GT(rising[2][i], rising[1][i] + 1 / kRate);
}

TEST(ToaConversion, TheStarterConfigurationNamesTheSensorsThePairAndTheBlades)
{
    TempDir dir;
    auto channels = rig();
    channels.push_back(channels[1]); // a second probe
    const auto sidecar = writeRawSignals(dir.path(), "rig", kRate, channels, {"O", "K1", "P1"});
    auto o = baseOptions(sidecar, dir / "rec.bld");
    o.pairs = {{"K1", "P1"}};
    o.diameterMm = 640;
    const toa::ToaResult r = toa::convertSignals(o);
    EXPECT_EQ(r.blades, kBlades);
    EXPECT_EQ(r.lfm, dir / "rec.lfm");
    TCfgDfm cfg;
    cfg.InitDefault();
    cfg.LoadFromFile(dir / "rec.lfm");
    EXPECT_EQ(cfg.FileName, (dir / "rec.bld").string());
    ASSERT_EQ(cfg.CountSensors, 3);
    EXPECT_EQ(cfg.Sensors[0].TypeSensor, TTypeSensor::srTaho);
    EXPECT_EQ(cfg.Sensors[1].TypeSensor, TTypeSensor::srRoot);
    EXPECT_EQ(cfg.Sensors[2].TypeSensor, TTypeSensor::srPeak);
    EXPECT_EQ(cfg.Sensors[2].NameSensor, "P1");
    EXPECT_EQ(cfg.Sensors[2].Chan, 2);
    ASSERT_EQ(cfg.CountStage, 1);
    EXPECT_EQ(cfg.Stages[0].CountBlade, kBlades);
    EXPECT_EQ(cfg.Stages[0].Diametr, 640);
    EXPECT_EQ(cfg.Stages[0].TachoComb.sensNumber, 0);
    ASSERT_EQ(cfg.Stages[0].CountPairs, 1);
    EXPECT_EQ(cfg.Stages[0].Pairs[0].Root, 1);
    EXPECT_EQ(cfg.Stages[0].Pairs[0].Peak, 2);
}

TEST(ToaConversion, BadInputIsRefusedWithItsReasonAndNothingIsWritten)
{
    struct Case {
        const char *what;
        std::function<std::filesystem::path(const std::filesystem::path &)> make; // the input
        std::function<void(toa::ToaOptions &)> tune;
        const char *message;
    };
    auto raw = [](std::function<void(std::vector<std::vector<float>> &)> change) {
        return [change](const std::filesystem::path &dir) {
            auto ch = rig();
            change(ch);
            return writeRawSignals(dir, "sig", kRate, ch, {"O", "P1"});
        };
    };
    const std::vector<Case> cases = {
        {"a NaN sample",
         raw([](auto &c) { c[1][123457] = std::nanf(""); }),
         {},
         "sample 123457 is not a number"},
        {"an infinite sample", raw([](auto &c) { c[0][5] = INFINITY; }), {}, "sample 5 is not a number"},
        {"a silent channel",
         raw([](auto &c) { std::fill(c[1].begin(), c[1].end(), 0.25F); }),
         {},
         "is silent"},
        {"a silent channel with levels in volts",
         raw([](auto &c) { std::fill(c[1].begin(), c[1].end(), 0.0F); }),
         [](toa::ToaOptions &o) {
             o.thresholds = {toa::Level{0.5, false}};
             o.hysteresis = toa::Level{0.1, false};
         },
         "is silent"},
        {"a channel that never crosses", raw([](auto &) {}),
         [](toa::ToaOptions &o) {
             o.rules["P1"].thresholds = {toa::Level{5, false}};
             o.rules["P1"].hysteresis = toa::Level{0.1, false};
         },
         "P1: no pulse crosses the level 5 V"},
        {"a sidecar that lies about the size",
         [](const std::filesystem::path &dir) {
             writeRawSignals(dir, "sig", kRate, rig(), {"O", "P1"});
             return writeRawSignals(dir, "sig", kRate, rig(), {"O", "P1"}, ", \"frames\": 300000");
         },
         {},
         "states 300000 samples per channel"},
        {"a truncated WAV",
         [](const std::filesystem::path &dir) {
             const auto ch = rig();
             SF_INFO info{};
             info.samplerate = 1000000;
             info.channels = 2;
             info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
             SNDFILE *f = sf_open((dir / "full.wav").c_str(), SFM_WRITE, &info);
             std::vector<float> inter;
             for (std::size_t i = 0; i < kFrames; ++i)
                 inter.insert(inter.end(), {ch[0][i], ch[1][i]});
             sf_writef_float(f, inter.data(), kFrames);
             sf_close(f);
             std::filesystem::resize_file(dir / "full.wav", 1000000);
             return dir / "full.wav";
         },
         {},
         "truncated"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        TempDir dir;
        const auto input = k.make(dir.path());
        std::ofstream(dir / "rec.bld") << "the user's recording";
        const auto before = filesIn(dir.path());
        auto o = baseOptions(input, dir / "rec.bld");
        o.names = {"O", "P1"};
        if (k.tune)
            k.tune(o);
        try {
            toa::convertSignals(o);
            ADD_FAILURE() << "accepted";
        } catch (const Error &e) {
            EXPECT_NE(std::string(e.what()).find(k.message), std::string::npos) << e.what();
        }
        EXPECT_EQ(filesIn(dir.path()), before);
        const auto kept = readWholeFile(dir / "rec.bld");
        EXPECT_EQ(std::string(kept.begin(), kept.end()), "the user's recording");
    }
}

} // namespace

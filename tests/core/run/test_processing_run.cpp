#include "pulse_fixture.hpp"
#include "support/temp_dir.hpp"

#include "base/file_io.hpp"
#include "recording/bldx_encoder.hpp"
#include "recording/recording_image.hpp"
#include "run/processing_run.hpp"
#include "run/tacho_read.hpp"

#include <gtest/gtest.h>

#include <fstream>

using namespace vibrolan;
using namespace vibrolan::test;

namespace {

std::filesystem::path writeBld(const TempDir &dir, const std::string &name, const std::vector<TIndex> &recs)
{
    RecordingHeader h;
    h.hasSignature = true;
    h.RecorderCode = 1200;
    h.RecordDate = 45366.5; // 2024-03-15 12:00
    const auto file = dir / name;
    writeRecordingFile(file, h, recs);
    return file;
}

} // namespace

TEST(OrderBlades, LaterPairPositionsLoseTheirFirstSample)
{
    TStage st;
    st.CountBlade = 3;
    st.CountPairs = 2;
    const std::uint16_t numbers[2][3] = {{0, 1, 2}, {1, 2, 0}};
    for (int p = 0; p < 2; ++p) {
        TPair &pair = st.Pairs[p];
        pair.Checked = true;
        pair.Size = 4;
        for (int k = 0; k < 3; ++k) {
            pair.NumberBlade[k] = numbers[p][k];
            pair.Ampl[k] = {10.0F * k, 10.0F * k + 1, 10.0F * k + 2, 10.0F * k + 3, 0};
        }
    }
    OrderBlades(st);
    const TPair &a = st.Pairs[0], &b = st.Pairs[1];
    EXPECT_EQ(a.Size, 3);
    EXPECT_EQ(b.Size, 3);
    // Pair 1 saw blade 0 at position 2 (series 20...), blade 1 at 0, blade 2 at 1.
    EXPECT_FLOAT_EQ(b.AmplSeries(0)[0], 20);
    EXPECT_FLOAT_EQ(b.AmplSeries(1)[0], 1); // advanced by one sample
    EXPECT_FLOAT_EQ(b.AmplSeries(2)[0], 11);
    EXPECT_EQ(b.AmplOffs[0], 0);
    EXPECT_EQ(b.AmplOffs[1], 4);
    EXPECT_EQ(b.AmplOffs[2], 4);
    EXPECT_EQ(a.AmplOffs[1], 0);
    EXPECT_EQ(b.NumberBlade[0], 1); // the numbering itself stays
}

TEST(ProcessingRun, MissingRecordingShowsTheMessageAndChangesNothing)
{
    TCfgDfm cfg;
    setupConfig(cfg);
    cfg.FileName = "/nonexistent/x.bld";
    cfg.Stages[0].Pairs[0].Size = 7;
    RecordingMessageSink sink;
    const TRunResult r = ProcessingRun(cfg, {}, sink, NumberFormat{});
    EXPECT_EQ(r.status, TRunStatus::NoRecording);
    ASSERT_EQ(sink.messages().size(), 1u);
    EXPECT_EQ(sink.messages()[0].caption, "Файл данных не найден");
    EXPECT_EQ(sink.messages()[0].text, "где обр.файл....");
    EXPECT_EQ(cfg.Stages[0].Pairs[0].Size, 7);
}

TEST(ProcessingRun, WholeRunOnAHandMadeRecording)
{
    TempDir dir;
    PulseRecording rec;
    rec.L = 800000; // 3000 rpm at 25 ns
    rec.rootOffset = {100000, 366000, 633000};
    rec.build(12);
    TCfgDfm cfg;
    cfg.InitDefault();
    setupConfig(cfg);
    cfg.FileName = writeBld(dir, "r.bld", rec.records()).string();
    cfg.CountSensors = 0; // the pass then reads every record
    cfg.Range = {5, 5.00005};
    cfg.Mode = TMode::mdStatic;
    RecordingMessageSink sink;
    std::vector<std::string> phases;
    std::string reported;
    TRunCallbacks cb;
    cb.phase = [&](std::string_view c) { phases.emplace_back(c); };
    cb.report = [&](const TCfgDfm &c) { reported = c.Stages[0].NameStage; };
    const TRunResult r = ProcessingRun(cfg, {}, sink, NumberFormat{}, cb);
    ASSERT_EQ(r.status, TRunStatus::Done);
    EXPECT_EQ(cfg.Range._From, 0); // a window narrower than 0.0001 s becomes [0, 10000]
    EXPECT_EQ(cfg.Range._To, 10000);
    EXPECT_EQ(r.CaptionSuffix, " от 15.03.2024 12:00:00");
    EXPECT_EQ(r.RevCount[0], 11u);
    const TPair &p = cfg.Stages[0].Pairs[0];
    EXPECT_EQ(p.Size, 10); // eleven revolutions, one dropped by the ordering
    EXPECT_EQ(p.SizeOfBad, 0);
    EXPECT_FLOAT_EQ(p.Freq[0], 3000);
    EXPECT_NEAR(p.lopmin[1], 1000 * kPi * 80 / 800000.0, 1e-5);
    ASSERT_TRUE(p.histgrms[1]);
    EXPECT_EQ(p.histgrms[1]->Ns(), 100);
    EXPECT_EQ(reported, "Ст1");
    EXPECT_EQ(r.BladeNames,
              (std::vector<std::string>{"Ст1:П1:Лопатка1", "Ст1:П1:Лопатка2", "Ст1:П1:Лопатка3"}));
    EXPECT_FALSE(r.FrequencyAxis);
    EXPECT_EQ(r.FirstStage, 0);
    EXPECT_EQ(phases.front(), "Расчет вибрации лопаток");
    EXPECT_TRUE(sink.messages().empty());

    // A compressed recording named in capitals is unpacked like ".bldx".
    {
        const auto image = readWholeFile(cfg.FileName);
        const auto packed = compressRecording(image);
        std::ofstream(dir / "r.BLDX", std::ios::binary)
            .write(reinterpret_cast<const char *>(packed.data()), static_cast<std::streamsize>(packed.size()));
    }
    cfg.FileName = (dir / "r.BLDX").string();
    ProcessingRun(cfg, {}, sink, NumberFormat{});
    EXPECT_EQ(cfg.Stages[0].Pairs[0].Size, 10);
    EXPECT_FLOAT_EQ(cfg.Stages[0].Pairs[0].Freq[0], 3000);
}

TEST(TachoRead, CurveFromTheTachoPulses)
{
    TempDir dir;
    TCfgDfm cfg;
    setupConfig(cfg);
    std::vector<TIndex> recs;
    std::uint32_t t = 0xFFFFFFFFu - 20 * 800000; // the counter wraps after 20 pulses
    for (int k = 0; k < 1500; ++k, t += 800000) {
        recs.push_back(TIndex{kTachoCh, 0, t});
        recs.push_back(TIndex{kRootCh, 0, t + 1000});
    }
    cfg.FileName = writeBld(dir, "t.bld", recs).string();
    NullMessageSink sink;
    struct Case {
        double from, to;
        std::uint32_t count;
        double firstTime;
    };
    for (const Case c : {Case{0, 1000, 1499, 0.02}, Case{10, 20, 501, 10.0}}) {
        cfg.Range = {c.from, c.to};
        std::vector<float> times(1024), speeds(1024);
        std::uint32_t count = 0;
        TachoRead(cfg, 0, count, {}, times, speeds, sink);
        ASSERT_EQ(count, c.count) << c.from;
        EXPECT_NEAR(times[0], c.firstTime, 1e-4);
        EXPECT_GE(times.size(), count);
        if (count > 1024) {
            EXPECT_EQ(times.size(), 2048u);
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            ASSERT_FLOAT_EQ(speeds[i], 3000) << i;
            if (i > 0) {
                ASSERT_GT(times[i], times[i - 1]) << i;
            }
        }
    }
    // A channel without pulses gives an empty curve.
    cfg.Sensors[0].Chan = 9;
    std::vector<float> times, speeds;
    std::uint32_t count = 0;
    TachoRead(cfg, 0, count, {}, times, speeds, sink);
    EXPECT_EQ(count, 0u);
}

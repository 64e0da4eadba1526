// The run on data-file input: the pairs arrive filled, no recording is
// looked for or read, and every step after the pulse pass still runs.
#include "pulse_fixture.hpp"

#include "run/processing_run.hpp"

#include <gtest/gtest.h>

using namespace vibrolan;
using namespace vibrolan::test;

TEST(ProcessingRunDataFiles, RunsWithoutARecording)
{
    // The named recording is absent; a compressed one would be unpacked
    // first, so both kinds of name must be left alone.
    for (const char *recording : {"", "/nonexistent/r.bld", "/nonexistent/r.bldx"}) {
        SCOPED_TRACE(recording);
        TCfgDfm cfg;
        cfg.InitDefault();
        setupConfig(cfg);
        cfg.FileName = recording;
        cfg.TypeFile = 1;
        cfg.Mode = TMode::mdDynamic;
        cfg.dN = 50;
        TPair &p = cfg.Stages[0].Pairs[0];
        p.Size = 5;
        p.Freq = {3000, 2900, 2800, 2700, 2600};
        p.Time = {0, 1, 2, 3, 4};
        for (std::size_t b = 0; b < 3; ++b)
            p.Ampl[b] = {1.0F + b, -2.0F, 4.0F * (b + 1), 0.5F, 9.0F}; // the last sample is dropped

        RecordingMessageSink sink;
        bool unpacked = false;
        std::string reported;
        TRunCallbacks cb;
        cb.unpack = [&](std::int64_t, std::int64_t) { unpacked = true; };
        cb.report = [&](const TCfgDfm &c) { reported = c.Stages[0].NameStage; };
        const TRunResult r = ProcessingRun(cfg, {}, sink, NumberFormat{}, cb);

        ASSERT_EQ(r.status, TRunStatus::Done);
        EXPECT_TRUE(sink.messages().empty());
        EXPECT_FALSE(unpacked);
        EXPECT_EQ(r.CaptionSuffix, "");
        EXPECT_EQ(r.RevCount, (std::array<std::uint32_t, 5>{}));
        // The loaded series pass through the ordering, ranges and histograms.
        EXPECT_EQ(p.Size, 4);
        for (std::size_t b = 0; b < 3; ++b) {
            EXPECT_FLOAT_EQ(p.lopmin[b], -2.0F) << b;
            EXPECT_FLOAT_EQ(p.lopmax[b], 4.0F * (b + 1)) << b;
            ASSERT_TRUE(p.histgrms[b]);
        }
        EXPECT_FLOAT_EQ(p.Freq[0], 3000);
        EXPECT_EQ(reported, "Ст1");
        EXPECT_EQ(r.BladeNames,
                  (std::vector<std::string>{"Ст1:П1:Лопатка1", "Ст1:П1:Лопатка2", "Ст1:П1:Лопатка3"}));
        EXPECT_TRUE(r.FrequencyAxis);
        EXPECT_FALSE(r.ShowTimeAxis); // "Время" only for recording input
    }
}

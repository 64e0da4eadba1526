// The memory estimate of a run against the revolutions the run really finds,
// and the refusal when the estimate does not fit what is available.
#include "pulse_fixture.hpp"
#include "support/temp_dir.hpp"

#include "base/message_sink.hpp"
#include "recording/recording_image.hpp"
#include "run/memory_estimate.hpp"
#include "run/processing_run.hpp"

#include <gtest/gtest.h>

using namespace vibrolan;
using namespace vibrolan::test;

namespace {

TEST(MemoryEstimate, RevolutionsFollowTheRecordAndTheSeriesTheirLength)
{
    TempDir dir;
    for (const int revs : {50, 3000}) {
        SCOPED_TRACE(revs);
        PulseRecording rec;
        rec.build(revs);
        TCfgDfm cfg;
        cfg.InitDefault();
        setupConfig(cfg);
        cfg.Mode = TMode::mdStatic; // a steady-state run: no speed steps to plan
        cfg.FileName = (dir / ("r" + std::to_string(revs) + ".bld")).string();
        RecordingHeader h;
        writeRecordingFile(cfg.FileName, h, rec.records());

        const RunMemoryNeed need = EstimateRunMemory(cfg);
        EXPECT_EQ(need.mappedBytes, std::filesystem::file_size(cfg.FileName));
        EXPECT_EQ(need.imageBytes, 0u);
        // The recording holds `revs` revolutions (the run assembles revs - 1 of them).
        EXPECT_GE(need.revolutions, static_cast<std::uint64_t>(revs));
        EXPECT_LE(need.revolutions, static_cast<std::uint64_t>(revs) * 21 / 20 + 2);
        // At least what the run's series take: 3 blades' deflections and five
        // computed series, and the speed and time of every revolution.
        EXPECT_GE(need.passSeriesBytes + need.computedSeriesBytes,
                  static_cast<std::uint64_t>(revs) * (3 * 6 * 4 + 8));

        RecordingMessageSink sink;
        ProcessingRun(cfg, {}, sink, NumberFormat{});
        EXPECT_LE(static_cast<std::uint64_t>(cfg.Stages[0].Pairs[0].Size), need.revolutions);
    }
}

TEST(MemoryEstimate, ARunThatDoesNotFitIsRefusedNamingNeedAndAvailable)
{
    RunMemoryNeed need;
    need.mappedBytes = 3000ull << 20;
    need.passSeriesBytes = 1000ull << 20;
    need.computedSeriesBytes = 1500ull << 20;
    need.revolutions = 123456;
    struct Case {
        const char *what;
        MemoryBudget budget;
        const char *expect; // empty: fits
    };
    auto budget = [](std::optional<std::uint64_t> as, std::optional<std::uint64_t> mem) {
        MemoryBudget b;
        b.addressSpace = as;
        b.memory = mem;
        return b;
    };
    const Case cases[] = {
        {"no bound known", budget(std::nullopt, std::nullopt), ""},
        {"plenty", budget(8000ull << 20, 8000ull << 20), ""},
        // The mapping needs no free memory, but address space with the pass's series.
        {"memory for the series only", budget(std::nullopt, 2600ull << 20), ""},
        {"too little memory", budget(std::nullopt, 2400ull << 20), "needs about 2500.0 MB"},
        {"address space too small for the mapping", budget(3900ull << 20, std::nullopt),
         "4000.0 MB at its peak (the mapped recording 3000.0 MB"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        if (*c.expect == '\0') {
            EXPECT_NO_THROW(CheckRunMemory(need, c.budget));
            continue;
        }
        try {
            CheckRunMemory(need, c.budget);
            ADD_FAILURE() << "not refused";
        } catch (const OutOfMemoryError &e) {
            const std::string text = e.what();
            EXPECT_NE(text.find(c.expect), std::string::npos) << text;
            EXPECT_NE(text.find("123456 revolutions"), std::string::npos) << text;
            EXPECT_NE(text.find("are available"), std::string::npos) << text;
        }
    }
}

TEST(MemoryEstimate, DataFileInputNeedsNoEstimate)
{
    TCfgDfm cfg;
    cfg.InitDefault();
    cfg.TypeFile = 1;
    cfg.FileName = "/nonexistent.bld";
    const RunMemoryNeed need = EstimateRunMemory(cfg);
    EXPECT_EQ(need.heapBytes(), 0u);
    EXPECT_EQ(need.addressSpaceBytes(), 0u);
}

} // namespace

// The merge of the pulse streams: records in time order, equal times in the
// order the sources were added, the same stream whether helper threads fill
// the sources ahead or not, and whether taken one by one or in runs.
#include "sim/pulse_sources.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

using namespace vibrolan;

namespace {

// Pulse k of source s at time step * floor(k / repeat) + offset: `repeat`
// pulses share each time, so streams tie with themselves and each other.
class SteppedSource final : public sim::PulseSource {
public:
    SteppedSource(int id, double step, double offset, int repeat)
        : id_(id), step_(step), offset_(offset), repeat_(repeat)
    {
    }
    sim::Pulse next() override
    {
        sim::Pulse p;
        p.recTicks = p.exactTicks = step_ * static_cast<double>(k_ / repeat_) + offset_;
        p.channel = static_cast<std::uint8_t>(id_);
        p.blade = static_cast<std::int32_t>(k_);
        ++k_;
        return p;
    }

private:
    int id_;
    double step_, offset_;
    int repeat_;
    std::int64_t k_ = 0;
};

struct Spec {
    double step, offset;
    int repeat;
};

// The first `count` records of the merge, as (time, source, pulse number).
std::vector<std::tuple<double, int, int>> merged(const std::vector<Spec> &specs, unsigned helpers, int count)
{
    sim::PulseMerger m(helpers);
    for (std::size_t s = 0; s < specs.size(); ++s)
        m.add(std::make_unique<SteppedSource>(static_cast<int>(s), specs[s].step, specs[s].offset,
                                              specs[s].repeat));
    std::vector<std::tuple<double, int, int>> out;
    for (int i = 0; i < count; ++i) {
        const sim::Pulse p = m.next();
        out.emplace_back(p.recTicks, p.channel, p.blade);
    }
    return out;
}

// The same through take(), mixed with next() calls every so often.
std::vector<std::tuple<double, int, int>> mergedByTake(const std::vector<Spec> &specs, unsigned helpers,
                                                       int count)
{
    sim::PulseMerger m(helpers);
    for (std::size_t s = 0; s < specs.size(); ++s)
        m.add(std::make_unique<SteppedSource>(static_cast<int>(s), specs[s].step, specs[s].offset,
                                              specs[s].repeat));
    std::vector<std::tuple<double, int, int>> out;
    for (int call = 0; static_cast<int>(out.size()) < count; ++call) {
        if (call % 3 == 2) {
            const sim::Pulse p = m.next();
            out.emplace_back(p.recTicks, p.channel, p.blade);
            continue;
        }
        const auto run = m.take();
        EXPECT_FALSE(run.empty());
        for (const sim::Pulse &p : run)
            out.emplace_back(p.recTicks, p.channel, p.blade);
    }
    out.resize(static_cast<std::size_t>(count));
    return out;
}

// What the merge must give: the first `count` pulses of every source (the
// first `count` of the merge are among them), ordered by time, then source,
// then pulse number.
std::vector<std::tuple<double, int, int>> expected(const std::vector<Spec> &specs, int count)
{
    std::vector<std::tuple<double, int, int>> all;
    for (std::size_t s = 0; s < specs.size(); ++s) {
        SteppedSource src(static_cast<int>(s), specs[s].step, specs[s].offset, specs[s].repeat);
        for (int k = 0; k < count; ++k) {
            const sim::Pulse p = src.next();
            all.emplace_back(p.recTicks, p.channel, p.blade);
        }
    }
    std::sort(all.begin(), all.end());
    all.resize(static_cast<std::size_t>(count));
    return all;
}

} // namespace

TEST(SimulatorMerge, TimeOrderTiesBySourceOrderForAnyNumberOfHelpers)
{
    const struct {
        const char *label;
        std::vector<Spec> specs;
        int count;
    } cases[] = {
        {"one source", {{3.25, 0.5, 1}}, 5000},
        {"all equal times", {{1.0, 0, 1}, {1.0, 0, 1}, {1.0, 0, 1}}, 9000},
        {"five sources, padding lanes",
         {{7.0, 0.1, 1}, {2.5, 0.7, 3}, {13.0, 0, 1}, {2.5, 0.7, 2}, {0.75, 100.0, 1}},
         12000},
        {"sixteen sources, some far apart in rate",
         [] {
             std::vector<Spec> v;
             for (int s = 0; s < 16; ++s)
                 v.push_back({s == 0 ? 1000.0 : 1.0 + 0.125 * (s % 4), 0.25 * (s % 3), 1 + s % 2});
             return v;
         }(),
         40000},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        const auto want = expected(c.specs, c.count);
        for (unsigned helpers : {0u, 1u, 3u}) {
            SCOPED_TRACE("helpers " + std::to_string(helpers));
            EXPECT_EQ(merged(c.specs, helpers, c.count), want);
            EXPECT_EQ(mergedByTake(c.specs, helpers, c.count), want);
        }
    }
}

TEST(SimulatorMerge, LeavingEarlyWhileHelpersFillStopsThem)
{
    // The merge is left at every stage of the helpers' work (before the
    // first record, inside the first blocks, past them); the records up to
    // there are right and the helpers stop instead of hanging the caller.
    const std::vector<Spec> specs = {{1.0, 0, 1}, {2.0, 0, 1}, {3.0, 0.5, 1}, {5.0, 0, 2}, {0.5, 0.25, 1}};
    const auto want = expected(specs, 40000);
    // Blocks are 4096 pulses, four filled ahead.
    for (int count : {0, 1, 700, 4096, 4097, 12000, 40000}) {
        SCOPED_TRACE(count);
        const auto got = merged(specs, 3, count);
        EXPECT_TRUE(std::equal(got.begin(), got.end(), want.begin()));
    }
}

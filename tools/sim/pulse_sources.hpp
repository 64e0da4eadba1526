// Endless time-ordered pulse streams, one per sensor (and one of spurious
// pulses per blade probe), merged into the recording's single stream.
// Times are in ticks of the recorder's counter since the start (t = 0).
#pragma once

#include "sim/blade_motion.hpp"
#include "sim/geometry.hpp"
#include "sim/rng.hpp"
#include "sim/scenario.hpp"
#include "sim/shaft.hpp"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace vibrolan::sim {

// 24 bytes: every record passes through memory a few times on its way.
struct Pulse {
    double recTicks = 0;     // as recorded (timing noise included)
    double exactTicks = 0;   // the physical instant
    std::int16_t blade = -1; // blade number, the tacho phase, -1 for a spurious pulse
    std::int8_t stage = -1;  // -1 for the tacho and the time code
    std::int8_t probe = -1;
    std::uint8_t channel = 0; // zero-based (the record's RCh)
    bool extra = false;       // injected spurious pulse
};
static_assert(sizeof(Pulse) == 24);

class PulseSource {
public:
    virtual ~PulseSource() = default;
    virtual Pulse next() = 0; // never runs dry; recTicks never decreases
    // The next `n` pulses, as n calls of next() would give them.
    virtual void fill(Pulse *out, std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i)
            out[i] = next();
    }
    // Called by a thread other than the one that fills while it has nothing
    // else to do: a share of the work of the pulses ahead, done; false when
    // there is none to share. Must not change what fill() gives.
    virtual bool help() { return false; }
};

// D pulses per revolution at angles k / D; phase 0 is the revolution mark.
std::unique_ptr<PulseSource> makeTachoSource(const Shaft &shaft, double tickPeriod, int divisor,
                                             int channel0);

// Blade passes at one probe of a stage, with missing pulses and timing noise.
// Tip arrivals come from TipArrival::fast(), or precise() if asked.
std::unique_ptr<PulseSource> makeProbeSource(const Shaft &shaft, double tickPeriod, const StageSpec &stage,
                                             const StageGeometry &geo, const BladeMotion &motion,
                                             int stageIndex, int probe, const FaultSpec &faults,
                                             std::uint64_t seed, bool preciseArrivals = false);

// Spurious pulses on a probe's channel at random instants (rate per second).
std::unique_ptr<PulseSource> makeExtraSource(double tickPeriod, double perSecond, int channel0,
                                             int stageIndex, int probe, std::uint64_t seed);

// SEV or IRIG-B time code for the time of day starting at `startSecondOfDay`.
std::unique_ptr<PulseSource> makeTimeCodeSource(const Scenario &s, double tickPeriod);

// Merges sources by recorded time; ties go to the source added first.
// Pulses are drawn from each source in blocks, and the heap holds only each
// source's next time, so a record costs no virtual call and a few
// comparisons of small entries. With helpers, that many threads fill the
// sources' next blocks ahead while the caller merges; each source is still
// advanced by one thread at a time and in order, so the merged stream is the
// same whatever the number of threads.
class PulseMerger {
public:
    explicit PulseMerger(unsigned helpers = 0);
    ~PulseMerger();
    PulseMerger(const PulseMerger &) = delete;
    PulseMerger &operator=(const PulseMerger &) = delete;

    // Only before the first call of next(), which needs at least one source.
    void add(std::unique_ptr<PulseSource> source);
    std::size_t sources() const { return lanes_.size(); }
    Pulse next()
    {
        if (tree_.empty())
            start();
        if (lanes_.size() == 1) { // nothing to merge; the next block only when it is needed
            Lane &lane = *lanes_[0];
            if (lane.at == kBlock)
                nextBlock(lane);
            return lane.current[lane.at++];
        }
        const std::uint32_t w = tree_[0].lane;
        Lane &lane = *lanes_[w];
        const Pulse out = lane.current[lane.at];
        if (++lane.at == kBlock)
            nextBlock(lane);
        replay({lane.current[lane.at].recTicks, w});
        return out;
    }

    // The next pulses, at least one, as next() would give them one by one:
    // with a single source the rest of its block, else one pulse. They stay
    // valid until the next call of take() or next().
    std::span<const Pulse> take()
    {
        if (tree_.empty())
            start();
        if (lanes_.size() != 1) {
            one_ = next();
            return {&one_, 1};
        }
        Lane &lane = *lanes_[0];
        if (lane.at == kBlock)
            nextBlock(lane);
        const std::span<const Pulse> run(lane.current.data() + lane.at, kBlock - lane.at);
        lane.at = kBlock;
        return run;
    }

private:
    static constexpr std::size_t kBlock = 16384, kAhead = 6; // pulses per block, blocks filled ahead
    struct Lane {
        std::unique_ptr<PulseSource> source;
        std::vector<Pulse> current; // being merged, the next pulse at `at`
        std::size_t at = 0;
        std::deque<std::vector<Pulse>> ready; // filled ahead, in order
        std::vector<std::vector<Pulse>> spare;
        bool busy = false; // a thread is filling the next block
    };
    // A lane's next time; the tree keeps them in its nodes so that a match
    // reads one node.
    struct Entry {
        double time;
        std::uint32_t lane;
    };
    // Entry a goes before entry b.
    static bool before(const Entry &a, const Entry &b)
    {
        return a.time < b.time || (a.time == b.time && a.lane < b.lane);
    }
    // After the winner's time changed: its way from the leaf up the tree of
    // losers, each node keeping the loser of its match, the top the winner.
    void replay(Entry cur)
    {
        for (std::size_t i = (tree_.size() + cur.lane) >> 1; i >= 1; i >>= 1) {
            const Entry held = tree_[i];
            const bool heldWins = before(held, cur);
            tree_[i] = heldWins ? cur : held;
            cur = heldWins ? held : cur;
        }
        tree_[0] = cur;
    }
    Entry build(std::size_t node, const std::vector<Entry> &leaves);
    void start();
    void nextBlock(Lane &lane);
    void fillOne(Lane &lane, std::unique_lock<std::mutex> &lock);
    void helperLoop();

    std::vector<std::unique_ptr<Lane>> lanes_;
    // Tournament over the lanes padded to a power of two (padding lanes have
    // an infinite time and never win): tree_[0] is the winner and tree_[1 ..]
    // the losers of the matches, built at the first next().
    std::vector<Entry> tree_;
    Pulse one_; // what take() hands out when it merges
    unsigned helpers_;
    std::mutex mutex_; // guards every lane's ready, spare and busy, and the fields below
    std::condition_variable wake_;
    std::vector<std::thread> threads_;
    bool stop_ = false;
    std::exception_ptr error_;
};

} // namespace vibrolan::sim

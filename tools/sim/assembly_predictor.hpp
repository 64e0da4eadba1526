// Predicts, while the recording is written, which revolutions the revolution
// assembly will accept for every checked pair and what the true deflections
// of those revolutions are on the assembly's scale:
//   ampl = diameter * pi * (exact tip instant - exact root instant) / Rev,
// with Rev the revolution length in recorded ticks between the two marks, so
// the assembly differs from it only by the rounding of the two arrivals to
// the counter (at most one tick quantum, diameter * pi / Rev).
// It follows the assembly's rules for the start mark, the marks (tacho
// divisor or signature detector), the pulse windows and the time range.
#pragma once

#include "sim/pulse_sources.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <optional>
#include <type_traits>
#include <vector>

namespace vibrolan::sim {

struct TruthRow {
    int stage = 0, pair = 0;  // zero-based
    std::int64_t index = 0;   // accepted revolution number of the pair (its series index)
    double timeS = 0;         // revolution start, seconds after the start mark
    double speedRpm = 0;      // true mean speed over the revolution
    bool fault = false;       // the assembly picks a pulse that is not the blade's own
    std::vector<double> ampl; // by blade number
};

struct PredictorPair {
    std::uint8_t rootChannel = 0, tipChannel = 0; // zero-based
    int skipBlade = 0;
    std::vector<int> numberBlade; // pulse position -> blade number
};

struct PredictorStage {
    std::uint8_t tachoChannel = 0;  // zero-based
    int divisor = 1;                // 255: signature detector
    std::int64_t startOrdinal = -1; // start mark as the n-th pulse (1-based) of the tacho channel, -1 none
    int blades = 0;
    double diameterMm = 0;
    std::vector<float> signature;
    std::vector<PredictorPair> pairs;
};

struct PairTally {
    std::int64_t accepted = 0, rejected = 0, faulty = 0;
};

class AssemblyPredictor {
public:
    using RowSink = std::function<void(const TruthRow &)>;
    AssemblyPredictor(std::vector<PredictorStage> stages, double tickPeriod, double rangeFrom, double rangeTo,
                      RowSink sink);

    // The next record of the pass (record numbers count from 0).
    void push(const Pulse &pulse, std::uint32_t ticks)
    {
        const std::int64_t k = next_++;
        if (static_cast<std::uint64_t>(next_ - base_) > cap_)
            grow();
        recs_[static_cast<std::size_t>(k) & mask_] = recordOf(pulse, ticks);
        channels_[pulse.channel].push(k, base_);
        // Most records neither settle a revolution nor count as a tacho pulse.
        if (k >= due_ || tachoChannel_[pulse.channel])
            settle(pulse, ticks, k);
    }
    // push() for n records in a row, the counter values in `ticks`: the
    // same, with the ring's state kept at hand across the records.
    void pushAll(const Pulse *pulses, const std::uint32_t *ticks, std::size_t n);
    // The pass ends after the records pushed so far.
    void finish();

    const std::vector<std::vector<PairTally>> &tallies() const { return tallies_; }
    std::int64_t revolutions(int stage) const { return state_[stage].revCount; }

private:
    // A record as the pulse has it from its exact instant on (copied in one
    // piece), and its counter value.
    struct Rec {
        double exact;
        std::int16_t blade;
        std::int8_t stage, probe;
        std::uint8_t ch;
        bool extra;
        std::uint32_t ticks;
    };
    static Rec recordOf(const Pulse &pulse, std::uint32_t ticks)
    {
        static_assert(std::is_standard_layout_v<Pulse> && std::is_standard_layout_v<Rec>);
        static_assert(offsetof(Pulse, blade) - offsetof(Pulse, exactTicks) == offsetof(Rec, blade) &&
                      offsetof(Pulse, stage) - offsetof(Pulse, exactTicks) == offsetof(Rec, stage) &&
                      offsetof(Pulse, probe) - offsetof(Pulse, exactTicks) == offsetof(Rec, probe) &&
                      offsetof(Pulse, channel) - offsetof(Pulse, exactTicks) == offsetof(Rec, ch) &&
                      offsetof(Pulse, extra) - offsetof(Pulse, exactTicks) == offsetof(Rec, extra) &&
                      offsetof(Rec, ticks) == 16 && sizeof(Pulse) - offsetof(Pulse, exactTicks) == 16);
        Rec r;
        std::memcpy(static_cast<void *>(&r), reinterpret_cast<const char *>(&pulse) + offsetof(Pulse, exactTicks), 16);
        r.ticks = ticks;
        return r;
    }
    struct Pending {
        std::int64_t prev, cur, rev;
    };
    struct Detector {
        int n = 0;
        double alfa = 0, threshold = 0.4, sqrtSig = 0;
        std::vector<float> sample, current;
        std::vector<std::uint32_t> ring, e; // the last n + 1 tacho instants, oldest at `head`
        std::size_t head = 0;
        bool isTacho(std::uint32_t ticks);
    };
    // Record numbers of one channel in increasing order, in a ring: positions
    // head .. tail - 1 (counted since the start) are held, and those below
    // the oldest record still needed are dropped only when it is full.
    struct ChannelIndex {
        std::vector<std::int64_t> ring; // capacity a power of two (or none yet)
        std::int64_t *data = nullptr;   // ring's, and its capacity - 1, kept at hand
        std::uint64_t mask = 0;
        std::uint64_t head = 0, tail = 0, full = 0; // full: the tail of a full ring
        std::int64_t operator[](std::uint64_t pos) const { return data[pos & mask]; }
        void push(std::int64_t k, std::int64_t keepFrom)
        {
            if (tail == full)
                makeRoom(keepFrom);
            data[tail++ & mask] = k;
        }
        void makeRoom(std::int64_t keepFrom);
        // Position of the first record number >= k.
        std::uint64_t lowerBound(std::int64_t k) const;
    };
    struct StageState {
        std::int64_t tachoSeen = 0;
        bool started = false;
        std::int64_t prev = 0, n = 0;
        double wrapOffset = 0, runTime = 0;
        std::uint32_t firstTicks = 0;
        double firstExact = 0;
        std::int64_t revCount = 0;
        std::optional<Detector> detector;
        std::deque<Pending> pending;
    };

    void grow();
    // The stages' part of push(): marks, revolutions to settle.
    void settle(const Pulse &pulse, std::uint32_t ticks, std::int64_t k);
    const Rec *at(std::int64_t k) const;
    const Rec &held(std::int64_t k) const { return recs_[static_cast<std::size_t>(k) & mask_]; }
    int collect(const Pending &p, std::int64_t limit, std::uint8_t ch, int count,
                std::vector<std::int64_t> &found);
    void processRevolution(int s, const Pending &p, std::int64_t lastIndex);
    void trim();

    std::vector<PredictorStage> stages_;
    double tick_, rangeFrom_, rangeTo_;
    RowSink sink_;
    std::vector<StageState> state_;
    std::vector<std::vector<PairTally>> tallies_;
    // Records base_ .. next_ - 1, record k at k & mask_ (capacity a power of two).
    std::vector<Rec> buf_;
    Rec *recs_ = nullptr; // buf_'s, its size and size - 1, kept at hand
    std::uint64_t cap_ = 0;
    std::size_t mask_ = 0;
    std::array<ChannelIndex, 256> channels_;
    std::int64_t base_ = 0, next_ = 0;
    // The first record number at which a pending revolution is settled, and
    // the channels that carry a stage's marks: records below the one and on
    // none of the others change no stage's state.
    std::int64_t due_ = INT64_MAX;
    std::array<bool, 256> tachoChannel_{};
    std::vector<std::int64_t> roots_, tips_;
    TruthRow row_;
};

} // namespace vibrolan::sim

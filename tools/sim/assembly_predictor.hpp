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

#include "recording/tindex.hpp"
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

    // The next n records of the pass (record numbers count from 0): each
    // pulse and the record written for it.
    void push(const Pulse *pulses, const TIndex *records, std::size_t n);
    // The pass ends after the records pushed so far.
    void finish();

    const std::vector<std::vector<PairTally>> &tallies() const { return tallies_; }
    std::int64_t revolutions(int stage) const { return state_[stage].revCount; }

private:
    // A revolution between two marks (record numbers, the exact instants)
    // of `rev` recorded ticks.
    struct Pending {
        std::int64_t prev, cur, rev;
        double prevExact, curExact;
    };
    struct Detector {
        int n = 0;
        double alfa = 0, threshold = 0.4, sqrtSig = 0;
        std::vector<float> sample, current;
        std::vector<std::uint32_t> ring, e; // the last n + 1 tacho instants, oldest at `head`
        std::size_t head = 0;
        bool isTacho(std::uint32_t ticks);
    };
    // A record of a channel: its number and, as the pulse has them from its
    // exact instant on (copied in one piece), what a deflection needs.
    struct Entry {
        std::int64_t k;
        double exact;
        std::int16_t blade;
        std::int8_t stage, probe;
        std::uint8_t ch;
        bool extra;
    };
    static Entry entryOf(std::int64_t k, const Pulse &pulse)
    {
        static_assert(std::is_standard_layout_v<Pulse> && std::is_standard_layout_v<Entry>);
        static_assert(offsetof(Pulse, blade) - offsetof(Pulse, exactTicks) + 8 == offsetof(Entry, blade) &&
                      offsetof(Pulse, stage) - offsetof(Pulse, exactTicks) + 8 == offsetof(Entry, stage) &&
                      offsetof(Pulse, probe) - offsetof(Pulse, exactTicks) + 8 == offsetof(Entry, probe) &&
                      offsetof(Pulse, channel) - offsetof(Pulse, exactTicks) + 8 == offsetof(Entry, ch) &&
                      offsetof(Pulse, extra) - offsetof(Pulse, exactTicks) + 8 == offsetof(Entry, extra) &&
                      sizeof(Entry) == 24 && sizeof(Pulse) - offsetof(Pulse, exactTicks) == 16);
        Entry e;
        e.k = k;
        std::memcpy(reinterpret_cast<char *>(&e) + offsetof(Entry, exact),
                    reinterpret_cast<const char *>(&pulse) + offsetof(Pulse, exactTicks), 16);
        return e;
    }
    // The records of one channel in increasing order, in a ring: positions
    // head .. tail - 1 (counted since the start) are held, and those below
    // the oldest record still needed are dropped only when it is full.
    struct ChannelIndex {
        std::vector<Entry> ring; // capacity a power of two (or none yet)
        Entry *data = nullptr;   // ring's, and its capacity - 1, kept at hand
        std::uint64_t mask = 0;
        std::uint64_t head = 0, tail = 0, full = 0; // full: the tail of a full ring
        const Entry &operator[](std::uint64_t pos) const { return data[pos & mask]; }
        void push(std::int64_t k, std::int64_t keepFrom, const Pulse &pulse)
        {
            if (tail == full)
                makeRoom(keepFrom);
            data[tail++ & mask] = entryOf(k, pulse);
        }
        void makeRoom(std::int64_t keepFrom);
        // Position of the first record number >= k.
        std::uint64_t lowerBound(std::int64_t k) const;
    };
    struct StageState {
        std::int64_t tachoSeen = 0;
        bool started = false;
        std::int64_t prev = 0, n = 0; // the last mark's record number, and its instants:
        std::uint32_t prevTicks = 0;
        double prevExact = 0;
        double wrapOffset = 0, runTime = 0;
        std::uint32_t firstTicks = 0;
        double firstExact = 0;
        std::int64_t revCount = 0;
        std::optional<Detector> detector;
        std::deque<Pending> pending;
    };

    // The stages' part of push(): marks, revolutions to settle.
    void settle(const Pulse &pulse, std::uint32_t ticks, std::int64_t k);
    // What a search found: `found` records of the channel's ring in a row
    // from position `first`, `inWindow` of them before the window's end.
    struct Search {
        std::uint64_t first = 0;
        int found = 0, inWindow = 0;
    };
    Search collect(const Pending &p, std::int64_t limit, std::uint8_t ch, int count) const;
    void processRevolution(int s, const Pending &p, std::int64_t lastIndex);
    void trim();

    std::vector<PredictorStage> stages_;
    double tick_, rangeFrom_, rangeTo_;
    RowSink sink_;
    std::vector<StageState> state_;
    std::vector<std::vector<PairTally>> tallies_;
    std::array<ChannelIndex, 256> channels_;
    // The records pushed: 0 .. next_ - 1, of which a search may still need
    // those from base_ on.
    std::int64_t base_ = 0, next_ = 0;
    // The first record number at which a pending revolution is settled, and
    // the channels that carry a stage's marks: records below the one and on
    // none of the others change no stage's state.
    std::int64_t due_ = INT64_MAX;
    std::array<bool, 256> tachoChannel_{};
    TruthRow row_;
};

} // namespace vibrolan::sim

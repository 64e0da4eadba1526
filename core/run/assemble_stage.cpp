#include "run/assemble_stage.hpp"

#include "base/errors.hpp"
#include "recording/recording_image.hpp"
#include "run/fixed_format.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace vibrolan {

namespace {

constexpr double kTwoPow32 = 4294967296.0;

// The block of blade slot b. Impuls comes from the configuration; a value
// beyond the table falls back to the slot itself instead of writing elsewhere.
std::size_t blockOf(const TPair &p, std::size_t b)
{
    const std::size_t k = p.Impuls[b];
    return k < kMaxBlades ? k : b;
}

// Every series of the pair holds at least `need` samples afterwards.
void growTo(TPair &p, std::size_t countBlade, bool withUts, std::size_t need)
{
    auto grow = [need](auto &v) {
        if (v.size() < need)
            v.resize(need);
    };
    grow(p.Freq);
    grow(p.Time);
    if (withUts)
        grow(p.UTS_Time);
    for (std::size_t b = 0; b < countBlade; ++b)
        grow(p.Ampl[blockOf(p, b)]);
}

// Round(Rev / 360 * TachoShift), half to even, kept in a range where the
// window searches cannot overflow (a broken TachoShift gives no shift).
std::int64_t shiftTicks(std::int64_t rev, float tachoShift)
{
    const double v = std::nearbyint(static_cast<double>(rev) / 360.0 * static_cast<double>(tachoShift));
    if (!std::isfinite(v))
        return 0;
    constexpr double kLimit = 4.0e18;
    return static_cast<std::int64_t>(std::clamp(v, -kLimit, kLimit));
}

// The records of the channels a multi-stage pass looks at, by channel, for
// the stretch of the recording the stages are working on: one walk over the
// records files them (the frontier only moves forward), the searches of the
// revolutions then look at their channel's records alone. Entries far behind
// every stage are dropped; a search that starts before the kept entries
// falls back to walking the records.
class ChannelQueues {
public:
    ChannelQueues(const TPulsePass &pass, std::int64_t first, std::int64_t end)
        : image_(pass.RecImage), frontier_(first), end_(end), advisedTo_(first)
    {
    }

    // Channels beyond 63 never match a record's channel: they have no entries.
    void want(std::uint8_t chan)
    {
        if (chan < 64)
            wanted_[chan] = true;
    }
    void keepAll(std::uint8_t chan)
    {
        if (chan < 64)
            keep_[chan] = true;
    }

    std::int64_t frontier() const { return frontier_; }
    std::int64_t end() const { return end_; }

    // Files every record up to k (inclusive; at most the last record).
    void extendTo(std::int64_t k)
    {
        const std::int64_t to = std::min(k + 1, end_);
        if (to <= frontier_)
            return;
        // A cold cache: the stretch after the next one is asked for now.
        constexpr std::int64_t kAhead = 1 << 22; // records, 24 MiB
        if (to > advisedTo_ - kAhead && advisedTo_ < end_) {
            AdviseWillNeed(image_, static_cast<std::size_t>(6 * advisedTo_),
                           static_cast<std::size_t>(6 * kAhead));
            advisedTo_ += kAhead;
        }
        const std::uint8_t *p = image_.data() + 6 * frontier_;
        for (std::int64_t j = frontier_; j < to; ++j, p += 6) {
            const std::uint8_t c = *p & 63;
            if (wanted_[c])
                q_[c].items.push_back(j);
        }
        frontier_ = to;
    }

    // Entries are numbered from the first record of the pass on, dropped ones included.
    std::size_t size(std::uint8_t chan) const
    {
        const Queue &q = queue(chan);
        return q.dropped + q.items.size();
    }
    // Entry `pos` of the channel; kept (pos >= firstKept).
    std::int64_t at(std::uint8_t chan, std::size_t pos) const
    {
        const Queue &q = queue(chan);
        return q.items[pos - q.dropped];
    }
    // The first record index the channel's entries are complete from.
    std::int64_t keptFrom(std::uint8_t chan) const { return queue(chan).keptFrom; }
    std::size_t firstKept(std::uint8_t chan) const { return queue(chan).dropped; }
    // Position of the first entry with record index >= j (j >= keptFrom).
    std::size_t lowerBound(std::uint8_t chan, std::int64_t j) const
    {
        const Queue &q = queue(chan);
        return q.dropped + static_cast<std::size_t>(std::lower_bound(q.items.begin(), q.items.end(), j) -
                                                    q.items.begin());
    }

    // Drops the entries of the channel below record `k` (none of a kept channel).
    void dropBelow(std::uint8_t chan, std::int64_t k)
    {
        if (chan >= 64 || keep_[chan])
            return;
        Queue &q = q_[chan];
        if (k <= q.keptFrom)
            return;
        const auto cut = std::lower_bound(q.items.begin(), q.items.end(), k);
        const auto n = static_cast<std::size_t>(cut - q.items.begin());
        // Dropping in batches keeps the erasing cost linear.
        if (n < 4096 || n < q.items.size() / 2)
            return;
        q.items.erase(q.items.begin(), cut);
        q.dropped += n;
        q.keptFrom = k;
    }

private:
    struct Queue {
        std::vector<std::int64_t> items;
        std::size_t dropped = 0;
        std::int64_t keptFrom = 0;
    };
    const Queue &queue(std::uint8_t chan) const { return chan < 64 ? q_[chan] : none_; }
    std::span<const std::uint8_t> image_;
    std::int64_t frontier_, end_, advisedTo_;
    std::array<bool, 64> wanted_{};
    std::array<bool, 64> keep_{};
    std::array<Queue, 64> q_;
    Queue none_;
};

// One accepted revolution of a pair waiting for its time code: the number of
// time-code records up to its mark.
struct TimeSlot {
    std::size_t timeRecords;
    std::uint16_t pair;
    std::uint32_t sample;
};

class StagePass {
public:
    StagePass(TCfgDfm &cfg, std::size_t stage, TPulsePass &pass, const TPassProgress &progress)
        : StagePass(cfg, stage, pass, progress, pass.TachoDivisor, pass.Detector, nullptr)
    {
    }
    // A stage of a multi-stage pass: its own tacho divisor or detector, the
    // records found through the shared queues.
    StagePass(TCfgDfm &cfg, std::size_t stage, TPulsePass &pass, const TPassProgress &progress, int divisor,
              TTachoDetector *detector, ChannelQueues *queues)
        : cfg_(cfg), st_(cfg.Stages[stage]), stage_(stage), pass_(pass), progress_(progress),
          F_(static_cast<std::int64_t>(pass.FirstRec)),
          E_(static_cast<std::int64_t>(std::min<std::uint64_t>(pass.RecCount, pass.slotCount()))),
          tachoChan_(cfg.Sensors[st_.TachoComb.sensNumber].Chan), countBlade_(st_.CountBlade),
          countPairs_(std::min<std::size_t>(st_.CountPairs, kMaxPairs)), divisor_(divisor),
          detector_(detector), queues_(queues)
    {
        if (queues_) {
            queues_->want(tachoChan_);
            for (std::size_t p = 0; p < countPairs_; ++p)
                if (st_.Pairs[p].Checked) {
                    queues_->want(cfg_.Sensors[st_.Pairs[p].Root].Chan);
                    queues_->want(cfg_.Sensors[st_.Pairs[p].Peak].Chan);
                }
        }
    }

    void run()
    {
        pass_.RevCount[stage_] = 0;
        if (E_ <= F_)
            return;
        const std::int64_t start = findStartMark();
        if (start < 0)
            return;
        forwardPass(start);
    }

    // The multi-stage pass, step by step. The start mark is the tacho record
    // of this stage's `startEntry` (counted from the beginning among the
    // records of its channel, see StartEntry), or none.
    void begin(std::optional<std::size_t> startEntry)
    {
        pass_.RevCount[stage_] = 0;
        startEntry_ = startEntry;
        done_ = E_ <= F_ || !startEntry;
    }
    bool done() const { return done_; }
    // Handles the tacho records of the stage below record `bound` that the queues hold.
    void advance(std::int64_t bound)
    {
        ChannelQueues &q = *queues_;
        if (!done_ && !started_) {
            if (q.size(tachoChan_) <= *startEntry_) {
                done_ = q.frontier() >= E_;
                return;
            }
            start_ = q.at(tachoChan_, *startEntry_);
            cursor_ = *startEntry_ + 1;
            started_ = true;
            beginForward(start_);
        }
        while (!done_) {
            if (cursor_ >= q.size(tachoChan_)) {
                done_ = q.frontier() >= E_;
                return;
            }
            const std::int64_t k = q.at(tachoChan_, cursor_);
            if (k >= bound)
                return;
            ++cursor_;
            const TIndex r = rec(k);
            if (r.Ch == tachoChan_)
                tachoRecord(k, r);
        }
    }
    // The record below which this stage needs no entry of channel `chan`.
    std::int64_t needsFrom(std::uint8_t chan) const
    {
        if (done_)
            return E_;
        if (!started_)
            return chan == tachoChan_ ? F_ : queues_->frontier();
        // The searches of the next revolution start about one revolution before its mark.
        return std::max(F_, prev_ - (queues_->frontier() - prev_));
    }
    std::int64_t start() const { return start_; }
    bool started() const { return started_; }
    std::vector<TimeSlot> &timeSlots() { return timeSlots_; }

private:
    TIndex rec(std::int64_t k) const { return pass_.record(static_cast<std::uint64_t>(k)); }

    // Every D-th tacho pulse counted from the end of the stream is a
    // candidate; the second candidate from the beginning starts the pass.
    std::int64_t findStartMark() const
    {
        const int D = std::max(1, divisor_);
        std::int64_t n = 0, m1 = -1, m2 = -1;
        for (std::int64_t k = E_ - 1; k >= F_; --k) {
            if (rec(k).RCh() != tachoChan_)
                continue;
            ++n;
            if (n % D == 0) {
                m2 = m1;
                m1 = k;
            }
        }
        return m2;
    }

    void forwardPass(std::int64_t start)
    {
        beginForward(start);
        for (std::int64_t k = start + 1; k < E_; ++k) {
            const TIndex r = rec(k);
            if (pass_.TimeDecoder && static_cast<int>(r.RCh()) == pass_.TimeChan)
                pass_.TimeDecoder->NewStick(r.Ticks);
            // The whole channel byte: a tacho record carrying bit 6 or 7 is no mark.
            if (r.Ch != tachoChan_)
                continue;
            tachoRecord(k, r);
        }
    }

    void beginForward(std::int64_t start)
    {
        firstTicks_ = rec(start).Ticks;
        prev_ = start;
        n_ = 0;
        wrapOffset_ = 0;
        runTime_ = 0;
    }

    // A record of the tacho channel (the whole channel byte) after the start mark.
    void tachoRecord(std::int64_t k, const TIndex &r)
    {
        const int D = std::max(1, divisor_);
        const bool useDetector = divisor_ == 255 && detector_ != nullptr;
        bool mark;
        if (useDetector) {
            detector_->NewStick(r.Ticks);
            double threshold = 0;
            mark = detector_->IsTacho(threshold);
        } else {
            mark = n_ % D == 0;
        }
        ++n_;
        if (!mark)
            return;
        const std::int64_t cur = k;
        const std::int64_t prev = prev_;
        const TIndex recPrev = rec(prev);
        const std::int64_t Rev = r - recPrev;
        const std::int64_t Pitch = countBlade_ > 0 ? Rev / static_cast<std::int64_t>(countBlade_) : 0;
        const double Speed = Rev <= 0 ? 0.0 : pass_.SpeedFactor / static_cast<double>(Rev);
        if (r.Ticks < recPrev.Ticks || runTime_ < 0) {
            wrapOffset_ += kTwoPow32;
            runTime_ += (kTwoPow32 - recPrev.Ticks + r.Ticks) * pass_.TickPeriod;
        } else {
            runTime_ = (recPrev.Ticks + wrapOffset_ - firstTicks_) * pass_.TickPeriod;
        }
        ++pass_.RevCount[stage_];
        if (cfg_.Range._From <= runTime_ && runTime_ <= cfg_.Range._To)
            for (std::size_t p = 0; p < countPairs_; ++p)
                if (st_.Pairs[p].Checked)
                    pairRevolution(p, prev, cur, Rev, Pitch, Speed, runTime_);
        prev_ = cur;
        if (progress_)
            progress_(E_, cur, runTime_, Speed, distance_);
    }

    // A record is usable for a sensor channel when it is on that channel and,
    // with gates in use, inside them (asked only for records of the channel).
    bool usable(std::int64_t j, std::uint8_t chan) const
    {
        const TIndex r = rec(j);
        if (r.RCh() != chan)
            return false;
        return !(cfg_.UseGates && pass_.Gates) || pass_.Gates->InGates(r);
    }

    // The next usable record from j on, stopping at the search limit and at
    // the last record of the pass. The record where the search stops is taken
    // either way; `found` tells whether it is a usable one. A search that
    // starts beyond the last record (it was taken already) finds nothing.
    std::uint32_t nextPulse(std::int64_t &j, std::uint8_t chan, std::int64_t limit, bool &found) const
    {
        const std::int64_t last = E_ - 1;
        found = false;
        if (j > last) {
            j = last;
            return rec(j).Ticks;
        }
        if (queues_ && j >= queues_->keptFrom(chan))
            return queuedPulse(j, chan, limit, found);
        while (!(found = usable(j, chan)) && j < limit && j < last)
            ++j;
        return rec(j).Ticks;
    }

    // The same search through the channel's entries: the walk above stops at
    // the first usable record from j to `stop`, or at `stop`.
    std::uint32_t queuedPulse(std::int64_t &j, std::uint8_t chan, std::int64_t limit, bool &found) const
    {
        const std::int64_t last = E_ - 1;
        const std::int64_t stop = j >= limit || j >= last ? j : std::min(limit, last);
        ChannelQueues &q = *queues_;
        q.extendTo(stop);
        const bool gated = cfg_.UseGates && pass_.Gates;
        const std::size_t n = q.size(chan);
        // The searches of a revolution follow one another: the last one's
        // entry is a good start for the next (a few steps at most).
        std::size_t pos = hint_[chan & 63];
        if (pos < q.firstKept(chan) || pos >= n || q.at(chan, pos) > j) {
            pos = q.lowerBound(chan, j);
        } else {
            int steps = 0;
            while (pos < n && q.at(chan, pos) < j && ++steps < 8)
                ++pos;
            if (pos < n && q.at(chan, pos) < j)
                pos = q.lowerBound(chan, j);
        }
        for (; pos < n; ++pos) {
            const std::int64_t k = q.at(chan, pos);
            if (k > stop)
                break;
            const TIndex r = rec(k);
            if (!gated || pass_.Gates->InGates(r)) {
                hint_[chan & 63] = pos;
                j = k;
                found = true;
                return r.Ticks;
            }
        }
        hint_[chan & 63] = pos;
        j = stop;
        return rec(j).Ticks;
    }

    void pairRevolution(std::size_t pairIndex, std::int64_t prev, std::int64_t cur, std::int64_t Rev,
                        std::int64_t Pitch, double Speed, double runTime)
    {
        TPair &p = st_.Pairs[pairIndex];
        bool Bad = false;
        const TIndex recPrev = rec(prev), recCur = rec(cur);
        const std::int64_t Shift = shiftTicks(Rev, p.TachoShift);
        const std::int64_t last = E_ - 1;
        std::int64_t s = prev, e = cur;
        if (Shift < 0) {
            while (s > F_ && (recPrev - rec(s)) < -Shift)
                --s;
            while (e > F_ && (recCur - rec(e)) < -Shift)
                --e;
        } else {
            while (s < last && (rec(s) - recPrev) < Shift)
                ++s;
            while (e < last && (rec(e) - recCur) < Shift)
                ++e;
        }
        const std::int64_t limit = 2 * cur - prev;
        const std::size_t nb = countBlade_;
        const std::uint8_t rootChan = cfg_.Sensors[p.Root].Chan;
        const std::uint8_t peakChan = cfg_.Sensors[p.Peak].Chan;
        auto &RootTicks = pass_.RootTicks;
        auto &PeakTicks = pass_.PeakTicks;
        const TIndex recE = rec(e);

        if (pass_.Gates)
            pass_.Gates->SetTurn(recPrev, recCur, 2.0);
        // A pulse that a deflection needs and the search did not find (it
        // stopped at its limit or at the end of the pass on a record that is
        // not usable) leaves no deflection for its blade: the revolution is
        // rejected instead of taking that record. Such pulses lie after the
        // revolution's end: beyond the end of the pass, or folded back by the
        // angle gates onto an include gate that the revolution's first pulses
        // have taken already (a tip probe that sees the previous turn's last
        // blades first needs those blades again after the mark).
        bool found = false;
        std::size_t Count = 0;
        if (rootChan != tachoChan_) {
            std::int64_t j = s;
            for (std::size_t r = 0; r <= nb; ++r) {
                RootTicks[r] = nextPulse(j, rootChan, limit, found);
                if (j < e)
                    ++Count;
                if (!found && r < nb)
                    Bad = true;
                ++j;
            }
        } else {
            // The tacho sensor is the root: blade arrivals are assumed in the
            // middle of equal pitches from the mark.
            std::int64_t Synth = static_cast<std::int64_t>(recPrev.Ticks) + Shift + Pitch / 2;
            for (std::size_t r = 0; r <= nb; ++r) {
                RootTicks[r] = static_cast<std::uint32_t>(Synth);
                Synth += Pitch;
                if ((recE - RootTicks[r]) > 0)
                    ++Count;
            }
        }
        if (Count != nb)
            Bad = true;

        if (pass_.Gates)
            pass_.Gates->SetTurn(recPrev, recCur, 2.0);
        Count = 0;
        std::int64_t j = s;
        for (std::size_t r = 0; r <= p.SkipBlade + nb; ++r) {
            PeakTicks[r] = nextPulse(j, peakChan, limit, found);
            if (j < e)
                ++Count;
            if (!found && r >= p.SkipBlade && r < p.SkipBlade + nb)
                Bad = true;
            ++j;
        }
        if (Count != nb)
            Bad = true;
        // A revolution without positive length has no deflection to give.
        if (Rev <= 0)
            Bad = true;

        const bool withUts = pass_.TimeDecoder != nullptr;
        if (Bad) {
            ++p.SizeOfBad;
        } else if (static_cast<std::size_t>(p.Size) < kMaxSeriesLength) {
            const auto i = static_cast<std::size_t>(p.Size);
            ensureGrown(pairIndex, nb, withUts, (i / 1024 + 1) * 1024);
            p.Freq[i] = static_cast<float>(Speed);
            p.Time[i] = static_cast<float>(runTime);
            if (withUts) {
                if (queues_) {
                    // The time code is read once the walk is over (see AssembleStages).
                    const auto chan = static_cast<std::uint8_t>(pass_.TimeChan);
                    timeSlots_.push_back(TimeSlot{queues_->lowerBound(chan, cur + 1),
                                                  static_cast<std::uint16_t>(pairIndex),
                                                  static_cast<std::uint32_t>(i)});
                } else {
                    p.UTS_Time[i] = pass_.TimeDecoder->time();
                }
            }
            for (std::size_t b = 0; b < nb; ++b) {
                const double d = static_cast<double>(Diff(PeakTicks[p.SkipBlade + b], RootTicks[b]));
                distance_ = st_.Diametr * kPi * d / static_cast<double>(Rev);
                p.Ampl[blockOf(p, b)][i] = static_cast<float>(distance_);
            }
            ++p.Size;
        }
        // Samples beyond the series capacity are not stored: the series stay
        // at their last accepted revolution.
        if (p.Size % 1024 == 0)
            ensureGrown(pairIndex, nb, withUts, static_cast<std::size_t>(p.Size) + 1024);
    }

    // growTo, skipped where this pass has grown every series of the pair that
    // far already (nothing else changes their sizes during the pass).
    void ensureGrown(std::size_t pairIndex, std::size_t nb, bool withUts, std::size_t need)
    {
        if (queues_ && need <= grown_[pairIndex])
            return;
        growTo(st_.Pairs[pairIndex], nb, withUts, need);
        grown_[pairIndex] = std::max(grown_[pairIndex], need);
    }

    TCfgDfm &cfg_;
    TStage &st_;
    std::size_t stage_;
    TPulsePass &pass_;
    const TPassProgress &progress_;
    std::int64_t F_, E_;
    std::uint8_t tachoChan_;
    std::size_t countBlade_, countPairs_;
    int divisor_;
    TTachoDetector *detector_;
    ChannelQueues *queues_;
    double distance_ = 0;
    // The forward walk.
    std::uint32_t firstTicks_ = 0;
    std::int64_t prev_ = 0, n_ = 0;
    double wrapOffset_ = 0, runTime_ = 0;
    // The multi-stage pass.
    std::optional<std::size_t> startEntry_;
    std::int64_t start_ = -1;
    std::size_t cursor_ = 0;
    bool started_ = false, done_ = false;
    std::vector<TimeSlot> timeSlots_;
    mutable std::array<std::size_t, 64> hint_{}; // per channel: where the last search ended
    std::array<std::size_t, kMaxPairs> grown_{}; // per pair: every series holds this many samples
};

// The channel histogram of the pass range, for the start marks counted from the end.
std::array<std::uint64_t, 64> channelCounts(const TPulsePass &pass, std::int64_t first, std::int64_t end)
{
    // Four tables, so that a run of one channel does not wait on its own count.
    std::array<std::array<std::uint64_t, 64>, 4> t{};
    const std::uint8_t *p = pass.RecImage.data();
    std::int64_t k = first;
    for (; k + 4 <= end; k += 4) {
        ++t[0][p[6 * k] & 63];
        ++t[1][p[6 * k + 6] & 63];
        ++t[2][p[6 * k + 12] & 63];
        ++t[3][p[6 * k + 18] & 63];
    }
    for (; k < end; ++k)
        ++t[0][p[6 * k] & 63];
    std::array<std::uint64_t, 64> c{};
    for (std::size_t i = 0; i < 64; ++i)
        c[i] = t[0][i] + t[1][i] + t[2][i] + t[3][i];
    return c;
}

} // namespace

std::optional<std::size_t> StartEntry(std::uint64_t tachoRecords, int divisor)
{
    // Every D-th record counted from the end is a candidate; the second
    // candidate from the beginning starts the pass.
    const auto D = static_cast<std::uint64_t>(std::max(1, divisor));
    const std::uint64_t entry = tachoRecords % D + D;
    if (entry >= tachoRecords)
        return std::nullopt;
    return static_cast<std::size_t>(entry);
}

void AssembleStages(TCfgDfm &cfg, TPulsePass &pass, std::span<const TStageTacho> tachos,
                    const TPassProgress &progress)
{
    const std::size_t stages = std::min<std::size_t>(cfg.CountStage, kMaxStages);
    if (tachos.size() < stages)
        throw ValueError("the tacho settings of " + std::to_string(stages) + " stages are needed, " +
                         std::to_string(tachos.size()) + " given");
    for (std::size_t s = 0; s < stages; ++s)
        CheckAssemblyInputs(cfg, s);
    const auto first = static_cast<std::int64_t>(pass.FirstRec);
    const auto end = static_cast<std::int64_t>(std::min<std::uint64_t>(pass.RecCount, pass.slotCount()));
    ChannelQueues queues(pass, first, end);
    const bool timeCode = pass.TimeDecoder != nullptr;
    const auto timeChan = static_cast<std::uint8_t>(pass.TimeChan);
    if (timeCode) {
        queues.want(timeChan);
        queues.keepAll(timeChan);
    }
    // The stages handle their marks a stretch at a time, one stage after the
    // other: only marks beyond every one reported so far are passed on.
    std::int64_t reported = -1;
    const TPassProgress forward = [&](std::int64_t total, std::int64_t position, double time, double speed,
                                      double distance) {
        if (position <= reported)
            return;
        reported = position;
        progress(total, position, time, speed, distance);
    };
    const TPassProgress &stageProgress = progress ? forward : progress;
    std::vector<std::unique_ptr<StagePass>> walks;
    bool counted = false;
    for (std::size_t s = 0; s < stages; ++s) {
        walks.push_back(std::make_unique<StagePass>(cfg, s, pass, stageProgress, tachos[s].Divisor,
                                                    tachos[s].Detector, &queues));
        counted = counted || tachos[s].Divisor != 1;
    }
    // With a divisor the start mark counts from the end of the recording: the
    // records of each channel are counted first. Otherwise it is the second
    // tacho record, and one walk does it all.
    std::array<std::uint64_t, 64> counts{};
    if (counted && end > first)
        counts = channelCounts(pass, first, end);
    for (std::size_t s = 0; s < stages; ++s) {
        const std::uint8_t tacho = cfg.Sensors[cfg.Stages[s].TachoComb.sensNumber].Chan;
        std::optional<std::size_t> entry;
        if (tachos[s].Divisor != 1)
            entry = tacho < 64 ? StartEntry(counts[tacho], tachos[s].Divisor) : std::nullopt;
        else
            entry = tacho < 64 ? std::optional<std::size_t>(1) : std::nullopt;
        walks[s]->begin(entry);
    }

    // The walk: the records are filed a stretch at a time, and every stage
    // then handles its marks in that stretch.
    constexpr std::int64_t kStretch = 1 << 15;
    for (;;) {
        const std::int64_t bound = std::min(end, queues.frontier() + kStretch);
        queues.extendTo(bound - 1);
        bool all = true;
        for (auto &w : walks) {
            w->advance(bound);
            all = all && w->done();
        }
        if (all || (queues.frontier() >= end && bound >= end)) {
            for (auto &w : walks)
                w->advance(end);
            break;
        }
        for (std::uint8_t c = 0; c < 64; ++c) {
            std::int64_t low = end;
            for (auto &w : walks)
                low = std::min(low, w->needsFrom(c));
            queues.dropBelow(c, low);
        }
    }

    // The time code of the accepted revolutions: each stage's walk fed the
    // decoder with the time-code records after its start mark, stage after
    // stage, and read it at every accepted revolution.
    if (timeCode) {
        const std::size_t timeRecords = queues.size(timeChan);
        for (std::size_t s = 0; s < stages; ++s) {
            StagePass &w = *walks[s];
            if (!w.started())
                continue;
            std::size_t fed = queues.lowerBound(timeChan, w.start() + 1);
            for (const TimeSlot &slot : w.timeSlots()) {
                for (; fed < slot.timeRecords; ++fed)
                    pass.TimeDecoder->NewStick(
                        pass.record(static_cast<std::uint64_t>(queues.at(timeChan, fed))).Ticks);
                cfg.Stages[s].Pairs[slot.pair].UTS_Time[slot.sample] = pass.TimeDecoder->time();
            }
            for (; fed < timeRecords; ++fed)
                pass.TimeDecoder->NewStick(
                    pass.record(static_cast<std::uint64_t>(queues.at(timeChan, fed))).Ticks);
        }
    }
}

void CheckAssemblyInputs(const TCfgDfm &cfg, std::size_t stage)
{
    if (stage >= kMaxStages)
        throw ValueError("stage " + std::to_string(stage + 1) + " is beyond the five stages");
    const TStage &st = cfg.Stages[stage];
    const std::string name = "stage \"" + st.NameStage + "\"";
    if (st.CountBlade > kMaxBlades)
        throw ValueError(name + ": " + std::to_string(st.CountBlade) + " blades, at most 255");
    if (st.CountPairs > kMaxPairs)
        throw ValueError(name + ": " + std::to_string(st.CountPairs) + " pairs, at most 16");
    if (st.TachoComb.sensNumber >= kMaxSensors)
        throw ValueError(name + ": the tacho sensor " + std::to_string(st.TachoComb.sensNumber + 1) +
                         " is beyond the sensor table");
    for (std::size_t k = 0; k < st.CountPairs; ++k) {
        const TPair &p = st.Pairs[k];
        if (!p.Checked)
            continue;
        const std::string pname = name + " pair \"" + p.NamePair + "\"";
        if (p.Root >= kMaxSensors || p.Peak >= kMaxSensors)
            throw ValueError(pname + ": a sensor index is beyond the sensor table");
        if (static_cast<std::size_t>(p.SkipBlade) + st.CountBlade + 1 > kPulseBufferSize)
            throw ValueError(
                pname + ": skipped blades + blades + 1 = " + std::to_string(p.SkipBlade + st.CountBlade + 1) +
                " exceeds the 510 pulses of a revolution");
    }
}

void PreparePairStorage(TStage &stage)
{
    for (std::size_t k = 0; k < std::min<std::size_t>(stage.CountPairs, kMaxPairs); ++k) {
        TPair &p = stage.Pairs[k];
        p.Size = 0;
        p.Freq.assign(1024, 0.0F);
        p.UTS_Time.assign(1024, 0.0);
        p.Time.assign(1024, 0.0F);
        for (std::size_t b = 0; b < std::min<std::size_t>(stage.CountBlade, kMaxBlades); ++b) {
            p.Ampl[b].assign(1024, 0.0F);
            p.Impuls[b] = static_cast<std::uint16_t>(b);
        }
    }
}

RejectionReport MakeRejectionReport(const TStage &stage, const TPair &pair, const NumberFormat &fmt)
{
    RejectionReport r;
    const double total = static_cast<double>(pair.Size) + static_cast<double>(pair.SizeOfBad);
    r.rate = total < 1 ? 100.0 : pair.SizeOfBad / total * 100.0;
    r.show = r.rate > 0.001;
    r.caption = "Ступень " + stage.NameStage + " Pair " + pair.NamePair;
    r.text = "Отбраковано " + FormatFixed(r.rate, 5, 2, fmt) + "%";
    return r;
}

void AssembleStage(TCfgDfm &cfg, std::size_t stage, TPulsePass &pass, MessageSink &sink,
                   const NumberFormat &fmt, const TPassProgress &progress)
{
    CheckAssemblyInputs(cfg, stage);
    StagePass(cfg, stage, pass, progress).run();
    ShowRejections(cfg.Stages[stage], sink, fmt);
}

void ShowRejections(const TStage &st, MessageSink &sink, const NumberFormat &fmt)
{
    for (std::size_t p = 0; p < std::min<std::size_t>(st.CountPairs, kMaxPairs); ++p) {
        const TPair &pair = st.Pairs[p];
        if (!pair.Checked)
            continue;
        const RejectionReport r = MakeRejectionReport(st, pair, fmt);
        if (r.show)
            sink.show(Message{r.caption, r.text, Buttons::Ok, Severity::Information});
    }
}

} // namespace vibrolan

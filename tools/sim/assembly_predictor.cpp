#include "sim/assembly_predictor.hpp"

#include "recording/tindex.hpp"

#include <algorithm>
#include <cmath>
#include <ranges>

namespace vibrolan::sim {

namespace {
constexpr double kPi = 3.1415926535897932385;
}

bool AssemblyPredictor::Detector::isTacho(std::uint32_t ticks)
{
    ring[head] = ticks;
    head = head == static_cast<std::size_t>(n) ? 0 : head + 1;
    for (int i = 0; i <= n; ++i) {
        const std::size_t at = head + static_cast<std::size_t>(i);
        e[i] = ring[at > static_cast<std::size_t>(n) ? at - static_cast<std::size_t>(n) - 1 : at];
    }
    const double span = CardDiff(e[n], e[0]);
    for (int i = n; i >= 1; --i)
        e[i] = CardDiff(e[i], e[i - 1]);
    if (span > 0)
        for (int i = 1; i <= n; ++i)
            current[i - 1] = static_cast<float>(e[i] / span);
    for (int i = 0; i < n; ++i)
        current[i] = static_cast<float>(current[i] - 1.0 / n);
    double sq = 0, prod = 0;
    for (int i = 0; i < n; ++i) {
        sq += static_cast<double>(current[i]) * current[i];
        prod += static_cast<double>(current[i]) * sample[i];
    }
    const double sqrtCur = std::sqrt(sq / (n - 1));
    double q = 0;
    if (sqrtSig > 0 && sqrtCur > 0)
        q = prod / (n - 1) / sqrtSig / sqrtCur;
    q = std::min(q, 1.0);
    bool hit = false;
    if (q > threshold) {
        hit = true;
        threshold = q;
    }
    threshold *= alfa;
    return hit;
}

AssemblyPredictor::AssemblyPredictor(std::vector<PredictorStage> stages, double tickPeriod, double rangeFrom,
                                     double rangeTo, RowSink sink)
    : stages_(std::move(stages)), tick_(tickPeriod), rangeFrom_(rangeFrom), rangeTo_(rangeTo),
      sink_(std::move(sink)), state_(stages_.size())
{
    for (std::size_t s = 0; s < stages_.size(); ++s) {
        tachoChannel_[stages_[s].tachoChannel] = true;
        tallies_.emplace_back(stages_[s].pairs.size());
        if (stages_[s].divisor == 255) {
            Detector d;
            d.n = stages_[s].blades;
            d.alfa = std::exp(std::log(0.85) / d.n);
            d.sample = stages_[s].signature;
            d.sample.resize(d.n, 0.0F);
            d.current.assign(d.n, 0.0F);
            d.ring.assign(d.n + 1, 0);
            d.e.assign(d.n + 1, 0);
            double sq = 0;
            for (float v : d.sample)
                sq += static_cast<double>(v) * v;
            d.sqrtSig = std::sqrt(sq / (d.n - 1));
            state_[s].detector = std::move(d);
        }
    }
}

void AssemblyPredictor::ChannelIndex::makeRoom(std::int64_t keepFrom)
{
    head = lowerBound(keepFrom);
    if (tail - head == ring.size()) {
        // Still full: the held numbers move to their places in a ring twice as large.
        std::vector<Entry> bigger(std::max<std::size_t>(1024, 2 * ring.size()));
        for (std::uint64_t pos = head; pos < tail; ++pos)
            bigger[pos & (bigger.size() - 1)] = (*this)[pos];
        ring = std::move(bigger);
        data = ring.data();
        mask = ring.size() - 1;
    }
    full = head + ring.size();
}

std::uint64_t AssemblyPredictor::ChannelIndex::lowerBound(std::int64_t k) const
{
    return *std::ranges::partition_point(std::views::iota(head, tail),
                                         [&](std::uint64_t pos) { return (*this)[pos].k < k; });
}

void AssemblyPredictor::push(const Pulse *pulses, const TIndex *records, std::size_t n)
{
    // The fields that only settle() changes are held in locals (a channel
    // ring's stores could alias them, which would make the compiler read
    // them again after every record).
    std::int64_t next = next_, base = base_, due = due_;
    for (std::size_t i = 0; i < n; ++i) {
        const Pulse &p = pulses[i];
        const std::int64_t k = next++;
        channels_[p.channel].push(k, base, p);
        // Most records neither settle a revolution nor count as a tacho pulse.
        if (k >= due || tachoChannel_[p.channel]) {
            next_ = next;
            settle(p, records[i].Ticks, k);
            base = base_;
            due = due_;
        }
    }
    next_ = next;
}

void AssemblyPredictor::settle(const Pulse &pulse, std::uint32_t ticks, std::int64_t k)
{
    for (std::size_t s = 0; s < stages_.size(); ++s) {
        StageState &st = state_[s];
        const PredictorStage &cfg = stages_[s];
        // Revolutions whose pulse searches can no longer grow are settled.
        while (!st.pending.empty() && k >= 2 * st.pending.front().cur - st.pending.front().prev) {
            processRevolution(static_cast<int>(s), st.pending.front(), k);
            st.pending.pop_front();
        }
        if (pulse.channel != cfg.tachoChannel)
            continue;
        if (!st.started) {
            if (++st.tachoSeen == cfg.startOrdinal) {
                st.started = true;
                st.prev = k;
                st.prevTicks = st.firstTicks = ticks;
                st.prevExact = st.firstExact = pulse.exactTicks;
            }
            continue;
        }
        bool mark;
        if (st.detector)
            mark = st.detector->isTacho(ticks);
        else
            mark = st.n % cfg.divisor == 0;
        ++st.n;
        if (!mark)
            continue;
        const std::uint32_t prevTicks = st.prevTicks;
        const std::int64_t rev = Diff(ticks, prevTicks);
        if (ticks < prevTicks || st.runTime < 0) {
            st.wrapOffset += 4294967296.0;
            st.runTime += (4294967296.0 - prevTicks + ticks) * tick_;
        } else {
            st.runTime = (prevTicks + st.wrapOffset - st.firstTicks) * tick_;
        }
        ++st.revCount;
        if (rangeFrom_ <= st.runTime && st.runTime <= rangeTo_)
            st.pending.push_back({st.prev, k, rev, st.prevExact, pulse.exactTicks});
        st.prev = k;
        st.prevTicks = ticks;
        st.prevExact = pulse.exactTicks;
    }
    due_ = INT64_MAX;
    for (const StageState &st : state_)
        if (!st.pending.empty())
            due_ = std::min(due_, 2 * st.pending.front().cur - st.pending.front().prev);
    trim();
}

// One search of the assembly: `count` usable records of the channel from the
// window start; records past the search limit are not real pulses. The
// assembly walks the records one by one; each step that finds a record of
// the channel before the limit takes the channel's next record, so what it
// finds is a run of the channel's ring, counted here by binary searches. A
// search that runs out of them goes on to the limit, where the record counts
// if it is of the channel (it is never before the window's end), and stops
// past it: the rest stays unfound.
AssemblyPredictor::Search AssemblyPredictor::collect(const Pending &p, std::int64_t limit, std::uint8_t ch,
                                                     int count) const
{
    const ChannelIndex &ci = channels_[ch];
    Search out;
    out.first = ci.lowerBound(p.prev);
    const std::uint64_t beforeLimit = ci.lowerBound(limit) - out.first;
    const std::uint64_t taken = std::min<std::uint64_t>(static_cast<std::uint64_t>(count), beforeLimit);
    out.found = static_cast<int>(taken);
    out.inWindow = static_cast<int>(std::min(taken, ci.lowerBound(p.cur) - out.first));
    if (out.found < count) {
        // The record at the limit, if pushed and of the channel, is the
        // channel's next one (every record up to next_ - 1 is in its ring).
        const std::uint64_t q = out.first + taken;
        if (q < ci.tail && ci[q].k == limit)
            ++out.found;
        if (limit < p.cur)
            ++out.inWindow;
    }
    return out;
}

void AssemblyPredictor::processRevolution(int s, const Pending &p, std::int64_t lastIndex)
{
    const PredictorStage &cfg = stages_[s];
    const StageState &st = state_[s];
    const int n = cfg.blades;
    const std::int64_t limit = std::min(2 * p.cur - p.prev, lastIndex);

    for (std::size_t pi = 0; pi < cfg.pairs.size(); ++pi) {
        const PredictorPair &pair = cfg.pairs[pi];
        PairTally &tally = tallies_[s][pi];
        const Search roots = collect(p, limit, pair.rootChannel, n + 1);
        const Search tips = collect(p, limit, pair.tipChannel, pair.skipBlade + n + 1);
        // A pulse that a deflection needs and the search did not find
        // rejects the revolution, as does a revolution without length.
        if (roots.inWindow != n || tips.inWindow != n || p.rev <= 0 || roots.found < n ||
            tips.found < pair.skipBlade + n) {
            ++tally.rejected;
            continue;
        }
        TruthRow &row = row_;
        row.fault = false;
        row.stage = s;
        row.pair = static_cast<int>(pi);
        row.index = tally.accepted++;
        row.timeS = (p.prevExact - st.firstExact) * tick_;
        row.speedRpm = 60.0 / ((p.curExact - p.prevExact) * tick_);
        row.ampl.assign(n, 0.0);
        const double scale = cfg.diameterMm * kPi / static_cast<double>(p.rev);
        const ChannelIndex &rootRing = channels_[pair.rootChannel], &tipRing = channels_[pair.tipChannel];
        for (int b = 0; b < n; ++b) {
            const int blade = pair.numberBlade[b];
            // Found from the window start on, so held (trim keeps them).
            const Entry &r = rootRing[roots.first + static_cast<std::uint64_t>(b)];
            const Entry &t = tipRing[tips.first + static_cast<std::uint64_t>(pair.skipBlade + b)];
            if (r.extra || t.extra || r.stage != s || t.stage != s || r.blade != blade || t.blade != blade)
                row.fault = true;
            row.ampl[blade] = scale * (t.exact - r.exact);
        }
        if (row.fault)
            ++tally.faulty;
        sink_(row);
    }
}

void AssemblyPredictor::trim()
{
    std::int64_t needed = next_;
    for (const StageState &st : state_) {
        if (!st.pending.empty())
            needed = std::min(needed, st.pending.front().prev);
        else if (st.started)
            needed = std::min(needed, st.prev);
    }
    if (base_ < needed)
        base_ = needed;
}

void AssemblyPredictor::finish()
{
    for (std::size_t s = 0; s < stages_.size(); ++s) {
        StageState &st = state_[s];
        while (!st.pending.empty()) {
            processRevolution(static_cast<int>(s), st.pending.front(), next_ - 1);
            st.pending.pop_front();
        }
    }
}

} // namespace vibrolan::sim

#include "sim/assembly_predictor.hpp"

#include "recording/tindex.hpp"

#include <algorithm>
#include <cmath>

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
        std::vector<std::int64_t> bigger(std::max<std::size_t>(1024, 2 * ring.size()));
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
    std::uint64_t lo = head, n = tail - head;
    while (n > 0) {
        const std::uint64_t half = n / 2;
        if ((*this)[lo + half] < k) {
            lo += half + 1;
            n -= half + 1;
        } else {
            n = half;
        }
    }
    return lo;
}

const AssemblyPredictor::Rec *AssemblyPredictor::at(std::int64_t k) const
{
    if (k < base_ || k >= next_)
        return nullptr;
    return &held(k);
}

void AssemblyPredictor::grow()
{
    // The held records move to their places in a ring twice as large.
    std::vector<Rec> bigger(std::max<std::size_t>(4096, 2 * buf_.size()));
    const std::size_t mask = bigger.size() - 1;
    for (std::int64_t j = base_; j < next_ - 1; ++j)
        bigger[static_cast<std::size_t>(j) & mask] = held(j);
    buf_ = std::move(bigger);
    recs_ = buf_.data();
    cap_ = buf_.size();
    mask_ = mask;
}

void AssemblyPredictor::pushAll(const Pulse *pulses, const std::uint32_t *ticks, std::size_t n)
{
    // As push() record by record. The ring's fields are copied to locals
    // (a record's one-byte fields could alias them, which would make the
    // compiler read them again after every store) and taken anew after a
    // call that may change them.
    std::int64_t next = next_, base = base_, due = due_;
    Rec *recs = recs_;
    std::uint64_t cap = cap_;
    std::size_t mask = mask_;
    for (std::size_t i = 0; i < n; ++i) {
        const Pulse &p = pulses[i];
        const std::int64_t k = next++;
        if (static_cast<std::uint64_t>(next - base) > cap) {
            next_ = next;
            grow();
            recs = recs_;
            cap = cap_;
            mask = mask_;
        }
        recs[static_cast<std::size_t>(k) & mask] = recordOf(p, ticks[i]);
        channels_[p.channel].push(k, base);
        if (k >= due || tachoChannel_[p.channel]) {
            next_ = next;
            settle(p, ticks[i], k);
            base = base_;
            due = due_;
            recs = recs_;
            cap = cap_;
            mask = mask_;
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
                st.firstTicks = ticks;
                st.firstExact = pulse.exactTicks;
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
        const Rec &prev = *at(st.prev);
        const std::int64_t rev = Diff(ticks, prev.ticks);
        if (ticks < prev.ticks || st.runTime < 0) {
            st.wrapOffset += 4294967296.0;
            st.runTime += (4294967296.0 - prev.ticks + ticks) * tick_;
        } else {
            st.runTime = (prev.ticks + st.wrapOffset - st.firstTicks) * tick_;
        }
        ++st.revCount;
        if (rangeFrom_ <= st.runTime && st.runTime <= rangeTo_)
            st.pending.push_back({st.prev, k, rev});
        st.prev = k;
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
// the channel before the limit takes the channel's next record, so they are
// read from the channel's index in a row. A search that runs out of them
// goes on to the limit, where the record counts if it is of the channel
// (it is never before the window's end), and stops past it: the rest stays -1.
int AssemblyPredictor::collect(const Pending &p, std::int64_t limit, std::uint8_t ch, int count,
                               std::vector<std::int64_t> &found)
{
    found.assign(count, -1);
    std::int64_t *const out = found.data();
    int inWindow = 0;
    const ChannelIndex &ci = channels_[ch];
    const std::int64_t *const ring = ci.data;
    const std::uint64_t mask = ci.mask, size = ci.tail;
    std::uint64_t q = ci.lowerBound(p.prev);
    int r = 0;
    for (; r < count && q < size; ++r, ++q) {
        const std::int64_t k = ring[q & mask];
        if (k >= limit)
            break;
        out[r] = k;
        inWindow += k < p.cur ? 1 : 0;
    }
    if (r < count) {
        // Records from the window start on are all held (trim keeps them).
        if (limit <= next_ - 1 && held(limit).ch == ch)
            out[r] = limit;
        if (limit < p.cur)
            ++inWindow;
    }
    return inWindow;
}

void AssemblyPredictor::processRevolution(int s, const Pending &p, std::int64_t lastIndex)
{
    const PredictorStage &cfg = stages_[s];
    const StageState &st = state_[s];
    const int n = cfg.blades;
    const std::int64_t limit = std::min(2 * p.cur - p.prev, lastIndex);
    const Rec &prev = *at(p.prev);
    const Rec &cur = *at(p.cur);

    std::vector<std::int64_t> &roots = roots_, &tips = tips_;
    for (std::size_t pi = 0; pi < cfg.pairs.size(); ++pi) {
        const PredictorPair &pair = cfg.pairs[pi];
        PairTally &tally = tallies_[s][pi];
        const int rootCount = collect(p, limit, pair.rootChannel, n + 1, roots);
        const int tipCount = collect(p, limit, pair.tipChannel, pair.skipBlade + n + 1, tips);
        // A pulse that a deflection needs and the search did not find
        // rejects the revolution, as does a revolution without length.
        bool missing = rootCount != n || tipCount != n || p.rev <= 0;
        for (int b = 0; b < n && !missing; ++b)
            missing = roots[b] < 0 || tips[pair.skipBlade + b] < 0;
        if (missing) {
            ++tally.rejected;
            continue;
        }
        TruthRow &row = row_;
        row.fault = false;
        row.stage = s;
        row.pair = static_cast<int>(pi);
        row.index = tally.accepted++;
        row.timeS = (prev.exact - st.firstExact) * tick_;
        row.speedRpm = 60.0 / ((cur.exact - prev.exact) * tick_);
        row.ampl.assign(n, 0.0);
        const double scale = cfg.diameterMm * kPi / static_cast<double>(p.rev);
        for (int b = 0; b < n; ++b) {
            const std::int64_t rj = roots[b], tj = tips[pair.skipBlade + b];
            const int blade = pair.numberBlade[b];
            // Found from the window start on, so held (trim keeps them).
            const Rec &r = held(rj);
            const Rec &t = held(tj);
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

#include "sim/revolution_source.hpp"

#include "sim/lanes.hpp"
#include "sim/tip_arrival.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <numeric>
#include <optional>
#include <stdexcept>
#include <thread>
#include <utility>

namespace vibrolan::sim {

namespace {

class RevolutionSource final : public PulseSource {
public:
    RevolutionSource(const Shaft &shaft, double tick, const Scenario &s,
                     const std::vector<StageGeometry> &geo, const std::vector<const BladeMotion *> &motion,
                     bool withTacho, bool precise, bool shareSolves)
        : shaft_(shaft), tick_(tick), faults_(s.faults),
          drawn_(s.faults.missingProbability > 0 || s.faults.jitterNs > 0), precise_(precise)
    {
        struct Slot {
            double angle;
            std::uint16_t lane;
            std::int32_t blade;
        };
        std::vector<Slot> slots;
        if (withTacho) {
            divisor_ = s.tacho.divisor;
            tachoCh_ = static_cast<std::uint8_t>(s.tacho.channel - 1);
            for (int k = 0; k < divisor_; ++k)
                slots.push_back({static_cast<double>(k) / divisor_, 0, k});
        }
        for (std::size_t st = 0; st < s.stages.size(); ++st)
            for (std::size_t p = 0; p < s.stages[st].probes.size(); ++p) {
                const StageSpec &stage = s.stages[st];
                Probe pr;
                pr.stage = static_cast<std::int16_t>(st);
                pr.probe = static_cast<std::int16_t>(p);
                pr.ch = static_cast<std::uint8_t>(stage.probes[p].channel - 1);
                pr.offsets = geo[st].offset[p];
                pr.order.resize(static_cast<std::size_t>(stage.blades));
                // The probe source's order, draws and solver, so that the pulses are the same.
                std::iota(pr.order.begin(), pr.order.end(), 0);
                std::sort(pr.order.begin(), pr.order.end(),
                          [&](int a, int b) { return pr.offsets[a] < pr.offsets[b]; });
                pr.rng.emplace(s.seed, 0x1000 + 64 * static_cast<int>(st) + static_cast<int>(p));
                if (stage.probes[p].kind == ProbeKind::Tip)
                    for (std::optional<TipArrival> &tip : pr.tips) {
                        tip.emplace(shaft, *motion[st], pr.offsets, tick);
                        tip->useOrder(pr.order);
                    }
                const std::size_t nb = pr.order.size();
                pr.place.resize(nb);
                pr.bTime.resize(2 * kBatch * nb);
                if (drawn_) {
                    pr.bNoise.resize(2 * kBatch * nb);
                    pr.bPresent.assign(2 * kBatch * nb, 1);
                    pr.bBlades.resize(2 * kBatch * nb);
                }
                pr.bCount.resize(2 * kBatch);
                const auto lane = static_cast<std::uint16_t>(probes_.size() + 1);
                for (int b = 0; b < stage.blades; ++b)
                    slots.push_back({pr.offsets[b], lane, b});
                probes_.push_back(std::move(pr));
            }
        std::stable_sort(slots.begin(), slots.end(), [](const Slot &a, const Slot &b) {
            return a.angle < b.angle || (a.angle == b.angle && a.lane < b.lane);
        });
        // A revolution without a single place would be made forever (a
        // checked scenario always has a probe).
        if (slots.empty())
            throw std::invalid_argument("a revolution stream needs the tacho or a probe");
        tachoTime_.resize(static_cast<std::size_t>(divisor_));
        tachoAngle_.resize(tachoTime_.size());
        tachoPlace_.resize(tachoTime_.size());
        // Every place's pulse but its times; the tacho and the probes leave
        // each revolution's instants (ticks), presence and noise at their places.
        for (const Slot &sl : slots) {
            const auto b = static_cast<std::size_t>(sl.blade);
            const auto at = static_cast<std::uint32_t>(shape_.size());
            Pulse pulse;
            pulse.blade = sl.blade;
            if (sl.lane == 0) {
                tachoPlace_[b] = at;
                pulse.channel = tachoCh_;
            } else {
                Probe &pr = probes_[sl.lane - 1u];
                pr.place[b] = at;
                pulse.channel = pr.ch;
                pulse.stage = pr.stage;
                pulse.probe = pr.probe;
            }
            shape_.push_back(pulse);
            laneOf_.push_back(sl.lane);
        }
        for (Probe &pr : probes_)
            for (const std::int32_t b : pr.order)
                pr.placeInOrder.push_back(pr.place[static_cast<std::size_t>(b)]);
        placeTicks_.resize(shape_.size());
        placeNoise_.assign(shape_.size(), 0.0);
        placePresent_.assign(shape_.size(), 1);
        std::size_t most = 0;
        for (const Probe &pr : probes_)
            most = std::max(most, pr.order.size());
        for (Scratch &sc : scratch_) {
            sc.shaft.emplace(shaft);
            sc.times.resize(most);
            sc.angles.resize(most);
        }
        // Room for several revolutions, so that what is left moves to the
        // front only now and then.
        pend_.resize(8 * shape_.size());
        lanes_.resize(8 * shape_.size());
        if (shareSolves) // last: nothing after it may throw
            worker_ = std::thread([this] { workerLoop(); });
    }

    ~RevolutionSource() override
    {
        if (!worker_.joinable())
            return;
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        worker_.join();
    }

    RevolutionSource(const RevolutionSource &) = delete; // its thread works on it
    RevolutionSource &operator=(const RevolutionSource &) = delete;

    Pulse next() override
    {
        Pulse p;
        fill(&p, 1);
        return p;
    }

    void fill(Pulse *out, std::size_t n) override
    {
        while (n > 0) {
            while (head_ == released_)
                nextRevolution();
            const std::size_t k = std::min(n, released_ - head_);
            std::memcpy(static_cast<void *>(out), pend_.data() + head_, k * sizeof(Pulse));
            head_ += k;
            out += k;
            n -= k;
        }
    }

private:
    static constexpr std::size_t kBatch = 16; // revolutions per batch
    static constexpr std::size_t kSlots = 3;  // solvers: the caller's and two helpers'
    static constexpr std::uint64_t kTaskMask = 0xFFFFFFFFu;

    struct Probe {
        std::int16_t stage = 0, probe = 0;
        std::uint8_t ch = 0;
        std::vector<double> offsets;
        std::vector<std::int32_t> order;
        std::optional<Rng> rng;
        std::array<std::optional<TipArrival>, kSlots> tips; // tip probes: one solver per slot
        std::vector<std::uint32_t> place;                   // by blade, in the revolution's layout
        std::vector<std::uint32_t> placeInOrder;            // the same in the probe's order
        // Of the two batches of revolutions drawn ahead, revolution j of the
        // batch in buffer k at (k * kBatch + j) * blades: the instants (ticks;
        // by blade when faults are drawn, else in the probe's order), by
        // blade the noise and presence, and the blades present in the
        // probe's order (bCount[k * kBatch + j] of them); the last three
        // only when faults are drawn.
        std::vector<double> bTime, bNoise;
        std::vector<char> bPresent;
        std::vector<std::int32_t> bBlades;
        std::vector<std::size_t> bCount;
    };
    // What one thread needs to solve a probe's revolution.
    struct Scratch {
        std::optional<Shaft> shaft; // its own: the search hint changes with every query
        std::vector<double> times, angles;
    };

    static bool before(double a, std::uint16_t laneA, double b, std::uint16_t laneB)
    {
        return a < b || (a == b && laneA < laneB);
    }

    // The probe's draws for revolution j of the batch in buffer k, as the
    // probe source makes them.
    void drawProbe(Probe &pr, std::size_t k, std::size_t j)
    {
        const std::size_t nb = pr.order.size(), at = k * kBatch + j;
        // Without faults every blade passes, none is late, nothing is drawn,
        // and the blades are those of the probe's order (see solveProbe()).
        if (!drawn_) {
            pr.bCount[at] = nb;
            return;
        }
        std::int32_t *blades = pr.bBlades.data() + at * nb;
        std::size_t n = 0;
        char *present = pr.bPresent.data() + at * nb;
        double *noise = pr.bNoise.data() + at * nb;
        for (const int b : pr.order) {
            const bool missing =
                faults_.missingProbability > 0 && pr.rng->uniform() < faults_.missingProbability;
            present[b] = missing ? 0 : 1;
            if (missing)
                continue;
            noise[b] = faults_.jitterNs > 0 ? pr.rng->normal() : 0.0;
            blades[n++] = b;
        }
        pr.bCount[at] = n;
    }

    // The instants of the probe's pulses in revolution j of batch `seq`,
    // with the solver and scratch of `slot`. A probe's revolution is always
    // solved whole by one thread, and every solver gives the same numbers,
    // so they do not depend on which thread that is.
    void solveProbe(Probe &pr, std::uint64_t seq, std::size_t j, int slot)
    {
        const std::size_t nb = pr.order.size(), at = (seq & 1) * kBatch + j, n = pr.bCount[at];
        const std::int32_t *blades = drawn_ ? pr.bBlades.data() + at * nb : pr.order.data();
        const std::int64_t rev = 1 + static_cast<std::int64_t>(seq * kBatch + j);
        Scratch &sc = scratch_[static_cast<std::size_t>(slot)];
        std::optional<TipArrival> &tip = pr.tips[static_cast<std::size_t>(slot)];
        if (tip && !precise_ && !drawn_) {
            tip->fastInOrder(rev, sc.times.data());
        } else if (tip && !precise_) {
            tip->fast(blades, rev, sc.times.data(), n);
        } else if (tip) {
            for (std::size_t i = 0; i < n; ++i)
                sc.times[i] = tip->precise(blades[i], rev);
        } else {
            for (std::size_t i = 0; i < n; ++i)
                sc.angles[i] = static_cast<double>(rev) + pr.offsets[blades[i]];
            sc.shaft->timesAtAngles(sc.angles.data(), sc.times.data(), n);
        }
        // Kept in ticks: the divisions in one pass rather than one per record.
        divideAll(sc.times.data(), n, tick_);
        double *time = pr.bTime.data() + at * nb;
        if (!drawn_) // every blade, in the probe's order
            std::copy_n(sc.times.data(), n, time);
        else
            for (std::size_t i = 0; i < n; ++i)
                time[static_cast<std::size_t>(blades[i])] = sc.times[i];
    }

    // Takes the next task of the batch in `buffer` and solves it with
    // `slot`'s solvers; false when none is left. Task j of batch `seq` is
    // its revolution j, every probe of it (one hand-over per revolution: the
    // batch's counters are shared by the threads, and each update of them
    // moves their cache line from one processor to the other).
    bool solveOne(std::size_t buffer, int slot)
    {
        Batch &bt = batches_[buffer];
        std::uint64_t ticket = bt.ticket.load(std::memory_order_acquire);
        do {
            if ((ticket & kTaskMask) >= kBatch)
                return false;
        } while (!bt.ticket.compare_exchange_weak(ticket, ticket + 1, std::memory_order_acq_rel,
                                                  std::memory_order_acquire));
        const std::uint64_t seq = ticket >> 32;
        const std::size_t task = ticket & kTaskMask;
        try {
            for (Probe &pr : probes_)
                solveProbe(pr, seq, task, slot);
        } catch (...) {
            std::lock_guard lock(mutex_);
            if (!error_)
                error_ = std::current_exception();
        }
        bt.done.fetch_add(1, std::memory_order_release);
        return true;
    }

    // A thread other than the caller's solves one task of the batches drawn
    // ahead (the earlier batch first), in a free helper slot.
    bool help() override
    {
        for (std::size_t slot = 1; slot < kSlots; ++slot) {
            if (slotBusy_[slot].exchange(true, std::memory_order_acquire))
                continue;
            const std::uint64_t t0 = batches_[0].ticket.load(std::memory_order_relaxed);
            const std::uint64_t t1 = batches_[1].ticket.load(std::memory_order_relaxed);
            const std::size_t first = (t0 >> 32) <= (t1 >> 32) ? 0 : 1;
            const bool did =
                solveOne(first, static_cast<int>(slot)) || solveOne(1 - first, static_cast<int>(slot));
            slotBusy_[slot].store(false, std::memory_order_release);
            return did;
        }
        return false;
    }

    void workerLoop()
    {
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return stop_ || published_ != seen_; });
                if (stop_)
                    return;
                seen_ = published_;
            }
            while (help()) {
            }
        }
    }

    // Draws the next batch of revolutions and offers its tasks.
    void publish()
    {
        const std::uint64_t seq = nextSeq_++;
        const std::size_t k = seq & 1;
        for (std::size_t j = 0; j < kBatch; ++j)
            for (Probe &pr : probes_)
                drawProbe(pr, k, j);
        batches_[k].done.store(0, std::memory_order_relaxed);
        batches_[k].ticket.store(seq << 32, std::memory_order_release);
        if (worker_.joinable()) {
            {
                std::lock_guard lock(mutex_);
                published_ = nextSeq_;
            }
            wake_.notify_all();
        }
    }

    // On to the next batch: the one after it drawn and offered to helpers,
    // this one's tasks that are left solved here, and its helpers awaited.
    void makeBatch()
    {
        current_ = inBatch_ == SIZE_MAX ? 0 : current_ + 1;
        while (nextSeq_ <= current_ + 1)
            publish();
        const std::size_t k = current_ & 1;
        while (solveOne(k, 0)) {
        }
        while (batches_[k].done.load(std::memory_order_acquire) < kBatch)
            std::this_thread::yield(); // a helper finishing a task: a revolution
        {
            std::lock_guard lock(mutex_);
            if (error_)
                std::rethrow_exception(error_);
        }
        inBatch_ = 0;
    }

    // The probe's pulses of revolution j of the current batch to their places.
    void takeProbe(const Probe &pr, std::size_t j)
    {
        const std::size_t nb = pr.order.size(), at = (current_ & 1) * kBatch + j;
        const std::uint32_t *place = pr.place.data();
        const double *time = pr.bTime.data() + at * nb;
        if (!drawn_) {
            const std::uint32_t *placeInOrder = pr.placeInOrder.data();
            for (std::size_t i = 0; i < nb; ++i)
                placeTicks_[placeInOrder[i]] = time[i];
        } else {
            for (std::size_t b = 0; b < nb; ++b)
                placeTicks_[place[b]] = time[b];
            const char *present = pr.bPresent.data() + at * nb;
            const double *noise = pr.bNoise.data() + at * nb;
            for (std::size_t b = 0; b < nb; ++b) {
                placePresent_[place[b]] = present[b];
                placeNoise_[place[b]] = noise[b];
            }
        }
    }

    void nextRevolution()
    {
        // What is left is of the previous revolution, in order; the last of
        // it bounds what may be released after this revolution is added.
        if (count_ + shape_.size() > pend_.size()) {
            std::copy(pend_.begin() + static_cast<std::ptrdiff_t>(head_),
                      pend_.begin() + static_cast<std::ptrdiff_t>(count_), pend_.begin());
            std::copy(lanes_.begin() + static_cast<std::ptrdiff_t>(head_),
                      lanes_.begin() + static_cast<std::ptrdiff_t>(count_), lanes_.begin());
            count_ -= head_;
            head_ = released_ = 0;
        }
        const std::size_t first = head_, old = count_ - head_; // gone out before it: 0 .. head_ - 1
        std::uint16_t lastLane = 0;
        Pulse last;
        if (old > 0) {
            last = pend_[count_ - 1];
            lastLane = lanes_[count_ - 1];
        }
        for (int k = 0; k < divisor_; ++k)
            tachoAngle_[static_cast<std::size_t>(k)] =
                static_cast<double>(rev_) + static_cast<double>(k) / divisor_;
        shaft_.timesAtAngles(tachoAngle_.data(), tachoTime_.data(), tachoTime_.size());
        divideAll(tachoTime_.data(), tachoTime_.size(), tick_);
        for (std::size_t k = 0; k < tachoTime_.size(); ++k)
            placeTicks_[tachoPlace_[k]] = tachoTime_[k];
        if (inBatch_ >= kBatch)
            makeBatch();
        for (Probe &pr : probes_)
            takeProbe(pr, inBatch_);
        ++inBatch_;
        Pulse *const pend = pend_.data();
        std::uint16_t *const lanes = lanes_.data();
        std::size_t end = count_;
        const bool jitter = faults_.jitterNs > 0;
        const std::size_t places = shape_.size();
        for (std::size_t i = 0; i < places; ++i) {
            if (drawn_ && !placePresent_[i])
                continue;
            const double exact = placeTicks_[i];
            const std::uint16_t lane = laneOf_[i];
            double rec = exact;
            if (jitter && lane != 0)                                     // the tacho has no timing noise
                rec += placeNoise_[i] * faults_.jitterNs * 1e-9 / tick_; // as the probe source rounds it
            // Into its place among those before it; nearly always where it is
            // (strictly after the last one, it stays: one comparison in the
            // usual case, the source order read only for equal times). Its
            // times are written in place: a whole Pulse built aside and
            // copied stalls on the partly overlapping moves.
            std::size_t at = end++;
            if (at > first && !(pend[at - 1].recTicks < rec))
                while (at > first && before(rec, lane, pend[at - 1].recTicks, lanes[at - 1])) {
                    pend[at] = pend[at - 1];
                    lanes[at] = lanes[at - 1];
                    --at;
                }
            Pulse &p = pend[at];
            p = shape_[i];
            p.exactTicks = exact;
            p.recTicks = rec;
            lanes[at] = lane;
        }
        count_ = end;
        ++rev_;
        // Out go the previous revolution's pulses and what came between
        // them; the first revolution (or one without pulses) waits for the next.
        std::size_t i = old > 0 ? first + old - 1 : first;
        if (old > 0)
            while (i < end && !before(last.recTicks, lastLane, pend[i].recTicks, lanes[i]))
                ++i;
        released_ = i;
    }

    Shaft shaft_; // a copy of its own: its search hint changes with every query
    double tick_;
    FaultSpec faults_;
    bool drawn_; // missing pulses or timing noise are drawn for every pulse
    bool precise_;
    int divisor_ = 0;
    std::uint8_t tachoCh_ = 0;
    std::vector<Probe> probes_;
    // One revolution's places in the undeflected order: each pulse but its
    // times, its source (0 the tacho, 1 + i probe i), and this revolution's
    // instant (ticks), noise and presence.
    std::vector<Pulse> shape_;
    std::vector<std::uint16_t> laneOf_;
    std::vector<double> placeTicks_, placeNoise_;
    std::vector<char> placePresent_;
    std::vector<double> tachoTime_, tachoAngle_; // ticks, revolutions
    std::vector<std::uint32_t> tachoPlace_;
    // Revolutions are drawn and solved in batches, two at a time: the one
    // being laid out and the next, whose tasks (a revolution each)
    // helpers may take while this one is laid out. A batch's ticket holds
    // its sequence number (high half) and its next task (low half).
    struct alignas(64) Batch {                        // a cache line each
        std::atomic<std::uint64_t> ticket{kTaskMask}; // none offered yet
        std::atomic<std::size_t> done{0};
    };
    std::array<Batch, 2> batches_;            // by sequence number & 1
    std::uint64_t nextSeq_ = 0, current_ = 0; // the next batch to draw, the one laid out
    std::size_t inBatch_ = SIZE_MAX;          // the next revolution's place in it (none made yet)
    std::array<Scratch, kSlots> scratch_;     // by slot: 0 the caller, then helpers
    std::array<std::atomic<bool>, kSlots> slotBusy_{};
    std::exception_ptr error_; // of a helper's task
    // The source's own helper thread.
    std::thread worker_;
    std::mutex mutex_; // guards error_ and the fields below
    std::condition_variable wake_;
    std::uint64_t published_ = 0, seen_ = 0;
    bool stop_ = false;
    // Made and in order: 0 .. count_ - 1, of which head_ .. released_ - 1 may go out.
    std::vector<Pulse> pend_;
    std::vector<std::uint16_t> lanes_;
    std::size_t head_ = 0, released_ = 0, count_ = 0;
    std::int64_t rev_ = 1; // passes start in revolution 1 so that no pulse falls before t = 0
};

} // namespace

std::unique_ptr<PulseSource> makeRevolutionSource(const Shaft &shaft, double tickPeriod, const Scenario &s,
                                                  const std::vector<StageGeometry> &geo,
                                                  const std::vector<const BladeMotion *> &motion,
                                                  bool withTacho, bool preciseArrivals, bool shareSolves)
{
    return std::make_unique<RevolutionSource>(shaft, tickPeriod, s, geo, motion, withTacho, preciseArrivals,
                                              shareSolves);
}

} // namespace vibrolan::sim

#include "sim/revolution_source.hpp"

#include "sim/tip_arrival.hpp"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <optional>
#include <stdexcept>

namespace vibrolan::sim {

namespace {

class RevolutionSource final : public PulseSource {
public:
    RevolutionSource(const Shaft &shaft, double tick, const Scenario &s,
                     const std::vector<StageGeometry> &geo, const std::vector<const BladeMotion *> &motion,
                     bool withTacho, bool precise)
        : shaft_(shaft), tick_(tick), faults_(s.faults), precise_(precise)
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
                    pr.tip.emplace(shaft, *motion[st], pr.offsets, tick);
                pr.time.resize(pr.order.size());
                pr.noise.resize(pr.order.size());
                pr.present.assign(pr.order.size(), 1);
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
        // Each place reads its instant (seconds), presence and noise where
        // the tacho or its probe leaves them for the revolution.
        for (const Slot &sl : slots) {
            const auto b = static_cast<std::size_t>(sl.blade);
            Place pl;
            pl.lane = sl.lane;
            pl.pulse.blade = sl.blade;
            if (sl.lane == 0) {
                pl.time = &tachoTime_[b];
                pl.present = &always_;
                pl.pulse.channel = tachoCh_;
            } else {
                Probe &pr = probes_[sl.lane - 1u];
                pl.time = &pr.time[b];
                pl.present = &pr.present[b];
                pl.noise = &pr.noise[b];
                pl.pulse.channel = pr.ch;
                pl.pulse.stage = pr.stage;
                pl.pulse.probe = pr.probe;
            }
            layout_.push_back(pl);
        }
        std::size_t most = 0;
        for (const Probe &pr : probes_)
            most = std::max(most, pr.order.size());
        blades_.resize(most);
        passes_.resize(most);
        times_.resize(most);
        // Room for several revolutions, so that what is left moves to the
        // front only now and then.
        pend_.resize(8 * layout_.size());
        lanes_.resize(8 * layout_.size());
    }

    RevolutionSource(const RevolutionSource &) = delete; // the layout points into it
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
    struct Probe {
        std::int16_t stage = 0, probe = 0;
        std::uint8_t ch = 0;
        std::vector<double> offsets;
        std::vector<std::int32_t> order;
        std::optional<Rng> rng;
        std::optional<TipArrival> tip;
        // Of the revolution being made, by blade.
        std::vector<double> time, noise;
        std::vector<char> present;
    };
    struct Place {
        const double *time = nullptr; // seconds
        const char *present = nullptr;
        const double *noise = nullptr; // none for the tacho
        Pulse pulse;                   // all but the times
        std::uint16_t lane = 0;        // 0 the tacho, 1 + i probe i
    };

    static bool before(const Pulse &a, std::uint16_t laneA, const Pulse &b, std::uint16_t laneB)
    {
        return a.recTicks < b.recTicks || (a.recTicks == b.recTicks && laneA < laneB);
    }

    // Pulses of the probe in revolution rev_, as the probe source draws them.
    void makeProbe(Probe &pr)
    {
        // Without faults every blade passes, none is late, and nothing is drawn.
        const std::int32_t *blades = pr.order.data();
        std::size_t n = pr.order.size();
        if (faults_.missingProbability > 0 || faults_.jitterNs > 0) {
            n = 0;
            for (const int b : pr.order) {
                const bool missing =
                    faults_.missingProbability > 0 && pr.rng->uniform() < faults_.missingProbability;
                pr.present[static_cast<std::size_t>(b)] = missing ? 0 : 1;
                if (missing)
                    continue;
                pr.noise[static_cast<std::size_t>(b)] = faults_.jitterNs > 0 ? pr.rng->normal() : 0.0;
                blades_[n++] = b;
            }
            blades = blades_.data();
        }
        std::fill_n(passes_.begin(), n, rev_);
        if (pr.tip && !precise_)
            pr.tip->fast(blades, passes_.data(), times_.data(), n);
        else
            for (std::size_t i = 0; i < n; ++i)
                times_[i] = !pr.tip ? shaft_.timeAtAngle(static_cast<double>(rev_) + pr.offsets[blades[i]])
                                    : pr.tip->precise(blades[i], rev_);
        for (std::size_t i = 0; i < n; ++i)
            pr.time[static_cast<std::size_t>(blades[i])] = times_[i];
    }

    void nextRevolution()
    {
        // What is left is of the previous revolution, in order; the last of
        // it bounds what may be released after this revolution is added.
        if (count_ + layout_.size() > pend_.size()) {
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
            tachoTime_[static_cast<std::size_t>(k)] =
                shaft_.timeAtAngle(static_cast<double>(rev_) + static_cast<double>(k) / divisor_);
        for (Probe &pr : probes_)
            makeProbe(pr);
        Pulse *const pend = pend_.data();
        std::uint16_t *const lanes = lanes_.data();
        std::size_t end = count_;
        const bool jitter = faults_.jitterNs > 0;
        for (const Place &pl : layout_) {
            if (!*pl.present)
                continue;
            Pulse p = pl.pulse;
            p.exactTicks = *pl.time / tick_;
            p.recTicks = p.exactTicks;
            if (jitter && pl.noise)
                p.recTicks += *pl.noise * faults_.jitterNs * 1e-9 / tick_; // as the probe source rounds it
            // Into its place among those before it; nearly always where it is.
            std::size_t at = end++;
            while (at > first && before(p, pl.lane, pend[at - 1], lanes[at - 1])) {
                pend[at] = pend[at - 1];
                lanes[at] = lanes[at - 1];
                --at;
            }
            pend[at] = p;
            lanes[at] = pl.lane;
        }
        count_ = end;
        ++rev_;
        // Out go the previous revolution's pulses and what came between
        // them; the first revolution (or one without pulses) waits for the next.
        std::size_t i = old > 0 ? first + old - 1 : first;
        if (old > 0)
            while (i < end && !before(last, lastLane, pend[i], lanes[i]))
                ++i;
        released_ = i;
    }

    Shaft shaft_; // a copy of its own: its search hint changes with every query
    double tick_;
    FaultSpec faults_;
    bool precise_;
    int divisor_ = 0;
    std::uint8_t tachoCh_ = 0;
    std::vector<Probe> probes_;
    std::vector<Place> layout_; // the undeflected order of one revolution's pulses
    std::vector<double> tachoTime_, times_;
    char always_ = 1;
    std::vector<std::int32_t> blades_;
    std::vector<std::int64_t> passes_;
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
                                                  bool withTacho, bool preciseArrivals)
{
    return std::make_unique<RevolutionSource>(shaft, tickPeriod, s, geo, motion, withTacho, preciseArrivals);
}

} // namespace vibrolan::sim

#include "sim/pulse_sources.hpp"

#include "sim/calendar.hpp"
#include "sim/tip_arrival.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>
#include <utility>

namespace vibrolan::sim {

namespace {

class TachoSource final : public PulseSource {
public:
    TachoSource(const Shaft &shaft, double tick, int divisor, int ch)
        : shaft_(shaft), tick_(tick), divisor_(divisor), ch_(static_cast<std::uint8_t>(ch))
    {
    }
    void fill(Pulse *out, std::size_t n) override
    {
        for (std::size_t i = 0; i < n; ++i)
            out[i] = TachoSource::next();
    }
    Pulse next() override
    {
        // Passes start in revolution 1 so that no pulse falls before t = 0.
        const double theta = static_cast<double>(rev_) + static_cast<double>(phase_) / divisor_;
        Pulse p;
        p.exactTicks = p.recTicks = shaft_.timeAtAngle(theta) / tick_;
        p.channel = ch_;
        p.blade = phase_;
        if (++phase_ == divisor_) {
            phase_ = 0;
            ++rev_;
        }
        return p;
    }

private:
    Shaft shaft_; // a copy of its own: its search hint changes with every query
    double tick_;
    int divisor_;
    std::uint8_t ch_;
    std::int64_t rev_ = 1;
    int phase_ = 0;
};

class ProbeSource final : public PulseSource {
public:
    ProbeSource(const Shaft &shaft, double tick, const StageSpec &stage, const StageGeometry &geo,
                const BladeMotion &motion, int stageIndex, int probe, const FaultSpec &faults,
                std::uint64_t seed, bool precise)
        : shaft_(shaft), tick_(tick), stage_(static_cast<std::int16_t>(stageIndex)),
          probe_(static_cast<std::int16_t>(probe)),
          ch_(static_cast<std::uint8_t>(stage.probes[probe].channel - 1)), offsets_(geo.offset[probe]),
          order_(stage.blades), faults_(faults), rng_(seed, 0x1000 + 64 * stageIndex + probe),
          precise_(precise)
    {
        if (stage.probes[probe].kind == ProbeKind::Tip)
            tip_.emplace(shaft, motion, offsets_, tick);
        std::iota(order_.begin(), order_.end(), 0);
        std::sort(order_.begin(), order_.end(), [&](int a, int b) { return offsets_[a] < offsets_[b]; });
    }

    void fill(Pulse *out, std::size_t n) override
    {
        // As next() n times, the arrivals found for the block at once: the
        // pulses first (with the random draws in next()'s order), then
        // their instants.
        blade_.resize(n);
        pass_.resize(n);
        noise_.resize(n);
        time_.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            const auto [b, pass] = nextPass();
            blade_[i] = b;
            pass_[i] = pass;
            noise_[i] = faults_.jitterNs > 0 ? rng_.normal() : 0.0;
        }
        if (tip_ && !precise_)
            tip_->fast(blade_.data(), pass_.data(), time_.data(), n);
        else
            for (std::size_t i = 0; i < n; ++i)
                time_[i] = !tip_ ? shaft_.timeAtAngle(static_cast<double>(pass_[i]) + offsets_[blade_[i]])
                                 : tip_->precise(blade_[i], pass_[i]);
        for (std::size_t i = 0; i < n; ++i)
            out[i] = pulse(blade_[i], time_[i], noise_[i]);
    }
    Pulse next() override
    {
        const auto [b, pass] = nextPass();
        const double t = !tip_      ? shaft_.timeAtAngle(static_cast<double>(pass) + offsets_[b])
                         : precise_ ? tip_->precise(b, pass)
                                    : tip_->fast(b, pass);
        return pulse(b, t, faults_.jitterNs > 0 ? rng_.normal() : 0.0);
    }

private:
    // The next blade pass (blade, revolution) that is not dropped as missing.
    std::pair<int, std::int64_t> nextPass()
    {
        for (;;) {
            const int b = order_[k_];
            const std::int64_t pass = rev_;
            if (++k_ == order_.size()) {
                k_ = 0;
                ++rev_;
            }
            if (faults_.missingProbability > 0 && rng_.uniform() < faults_.missingProbability)
                continue;
            return {b, pass};
        }
    }

    // Blade b's pulse at t seconds, `noise` standard deviations of timing noise late.
    Pulse pulse(int b, double t, double noise) const
    {
        Pulse p;
        p.exactTicks = t / tick_;
        p.recTicks = p.exactTicks;
        if (faults_.jitterNs > 0)
            p.recTicks += noise * faults_.jitterNs * 1e-9 / tick_;
        p.channel = ch_;
        p.stage = stage_;
        p.probe = probe_;
        p.blade = b;
        return p;
    }

    Shaft shaft_; // a copy of its own: its search hint changes with every query
    double tick_;
    std::int16_t stage_, probe_;
    std::uint8_t ch_;
    std::vector<double> offsets_;
    std::vector<int> order_;
    FaultSpec faults_;
    Rng rng_;
    std::optional<TipArrival> tip_;   // tip probes: the deflected arrival
    std::vector<std::int32_t> blade_; // scratch of fill()
    std::vector<std::int64_t> pass_;
    std::vector<double> noise_, time_;
    bool precise_;
    std::int64_t rev_ = 1;
    std::size_t k_ = 0;
};

class ExtraSource final : public PulseSource {
public:
    ExtraSource(double tick, double perSecond, int ch, int stageIndex, int probe, std::uint64_t seed)
        : meanTicks_(1.0 / perSecond / tick), ch_(static_cast<std::uint8_t>(ch)),
          stage_(static_cast<std::int16_t>(stageIndex)), probe_(static_cast<std::int16_t>(probe)),
          rng_(seed, 0x2000 + 64 * stageIndex + probe)
    {
    }
    Pulse next() override
    {
        at_ += rng_.exponential(meanTicks_);
        Pulse p;
        p.exactTicks = p.recTicks = at_;
        p.channel = ch_;
        p.stage = stage_;
        p.probe = probe_;
        p.extra = true;
        return p;
    }

private:
    double meanTicks_;
    std::uint8_t ch_;
    std::int16_t stage_, probe_;
    Rng rng_;
    double at_ = 0;
};

// Pulses of one second of time code, as offsets in seconds from the
// second's start, for the time of day `second` (may pass midnight).
class TimeCodeSource final : public PulseSource {
public:
    TimeCodeSource(const Scenario &s, double tick)
        : tick_(tick), irig_(s.timeCode.kind == TimeCodeKind::IrigB),
          ch_(static_cast<std::uint8_t>(s.timeCode.channel - 1)), start_(s.startSecondOfDay),
          dayOfYear_(
              static_cast<int>(daysSince1899(s.year, s.month, s.day) - daysSince1899(s.year, 1, 1) + 1)),
          year_(s.year)
    {
        second_ = static_cast<std::int64_t>(std::floor(start_));
        fill();
    }

    Pulse next() override
    {
        for (;;) {
            if (i_ == offsets_.size()) {
                ++second_;
                fill();
            }
            const double t = static_cast<double>(second_) - start_ + offsets_[i_++];
            if (t <= 0)
                continue;
            Pulse p;
            p.exactTicks = p.recTicks = t / tick_;
            p.channel = ch_;
            return p;
        }
    }

private:
    void fill()
    {
        offsets_.clear();
        i_ = 0;
        const std::int64_t tod = second_ % 86400;
        if (irig_)
            fillIrig(tod);
        else
            fillSev(tod);
        std::sort(offsets_.begin(), offsets_.end());
    }

    // SEV: a pulse every millisecond; the word of the second starts with an
    // 80 us interval before the second and carries 32 bits (a one is an
    // extra pulse 80 us into its millisecond), the time of day as eight BCD
    // digits whose groups arrive most significant digit last.
    void fillSev(std::int64_t tod)
    {
        for (int m = 0; m < 1000; ++m)
            offsets_.push_back(m * 1e-3);
        offsets_.push_back(0.999 + 80e-6); // opens the next second's word
        std::uint32_t reg = 0;
        std::int64_t v = tod;
        for (int j = 0; j < 8; ++j) { // the digit of 10^j
            const auto digit = static_cast<std::uint32_t>(v % 10);
            v /= 10;
            const int g = 7 - j; // group 0 holds the most significant digit
            const std::uint32_t rev =
                ((digit & 1) << 3) | ((digit & 2) << 1) | ((digit & 4) >> 1) | ((digit & 8) >> 3);
            reg |= rev << (4 * g);
        }
        for (int i = 0; i < 32; ++i) // bit 31 arrives first, bit 0 last
            if ((reg >> (31 - i)) & 1)
                offsets_.push_back(i * 1e-3 + 80e-6);
    }

    // IRIG-B: 100 elements of 10 ms; the falling edge comes 2 ms (zero),
    // 5 ms (one) or 8 ms (position marker) into the element.
    void fillIrig(std::int64_t tod)
    {
        std::array<int, 100> e{};
        auto bcd = [&](int pos, int value, int digits) {
            for (int d = 0; d < digits; ++d) {
                const int digit = value % 10;
                value /= 10;
                for (int b = 0; b < 4; ++b) {
                    const int at = pos + 5 * d + b;
                    if (at % 10 != 9)
                        e[at] = (digit >> b) & 1;
                }
            }
        };
        bcd(1, static_cast<int>(tod % 60), 2);
        bcd(10, static_cast<int>(tod / 60 % 60), 2);
        bcd(20, static_cast<int>(tod / 3600), 2);
        const int extraDays = static_cast<int>((second_ - tod) / 86400); // after midnight
        const int doy = dayOfYear_ + extraDays;
        bcd(30, doy % 100, 2);
        e[40] = (doy / 100) & 1;
        e[41] = (doy / 200) & 1;
        bcd(50, year_ % 100, 2);
        for (int i = 0; i < 17; ++i)
            e[i < 9 ? 80 + i : 81 + i] = static_cast<int>((tod >> i) & 1);
        for (int j = 0; j < 100; ++j) {
            const bool marker = j == 0 || j % 10 == 9;
            offsets_.push_back(j * 0.01 + (marker ? 0.008 : e[j] ? 0.005 : 0.002));
        }
    }

    double tick_;
    bool irig_;
    std::uint8_t ch_;
    double start_;
    int dayOfYear_, year_;
    std::int64_t second_ = 0;
    std::vector<double> offsets_;
    std::size_t i_ = 0;
};

} // namespace

std::unique_ptr<PulseSource> makeTachoSource(const Shaft &shaft, double tickPeriod, int divisor, int channel0)
{
    return std::make_unique<TachoSource>(shaft, tickPeriod, divisor, channel0);
}

std::unique_ptr<PulseSource> makeProbeSource(const Shaft &shaft, double tickPeriod, const StageSpec &stage,
                                             const StageGeometry &geo, const BladeMotion &motion,
                                             int stageIndex, int probe, const FaultSpec &faults,
                                             std::uint64_t seed, bool preciseArrivals)
{
    return std::make_unique<ProbeSource>(shaft, tickPeriod, stage, geo, motion, stageIndex, probe, faults,
                                         seed, preciseArrivals);
}

std::unique_ptr<PulseSource> makeExtraSource(double tickPeriod, double perSecond, int channel0,
                                             int stageIndex, int probe, std::uint64_t seed)
{
    return std::make_unique<ExtraSource>(tickPeriod, perSecond, channel0, stageIndex, probe, seed);
}

std::unique_ptr<PulseSource> makeTimeCodeSource(const Scenario &s, double tickPeriod)
{
    return std::make_unique<TimeCodeSource>(s, tickPeriod);
}

PulseMerger::PulseMerger(unsigned helpers) : helpers_(helpers) {}

PulseMerger::~PulseMerger()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    for (std::thread &t : threads_)
        t.join();
}

void PulseMerger::add(std::unique_ptr<PulseSource> source)
{
    auto lane = std::make_unique<Lane>();
    lane->source = std::move(source);
    lane->current.resize(kBlock);
    lane->source->fill(lane->current.data(), kBlock);
    lanes_.push_back(std::move(lane));
}

void PulseMerger::start()
{
    std::size_t size = 1;
    while (size < lanes_.size())
        size *= 2;
    std::vector<Entry> leaves(size);
    for (std::size_t i = 0; i < size; ++i)
        leaves[i] = {i < lanes_.size() ? lanes_[i]->current[0].recTicks
                                       : std::numeric_limits<double>::infinity(),
                     static_cast<std::uint32_t>(i)};
    tree_.assign(size, Entry{0, 0});
    tree_[0] = build(1, leaves);
}

PulseMerger::Entry PulseMerger::build(std::size_t node, const std::vector<Entry> &leaves)
{
    if (node >= tree_.size())
        return leaves[node - tree_.size()];
    const Entry a = build(2 * node, leaves), b = build(2 * node + 1, leaves);
    tree_[node] = before(a, b) ? b : a;
    return before(a, b) ? a : b;
}

void PulseMerger::fillOne(Lane &lane, std::unique_lock<std::mutex> &lock)
{
    std::vector<Pulse> block;
    if (!lane.spare.empty()) {
        block = std::move(lane.spare.back());
        lane.spare.pop_back();
    }
    block.resize(kBlock);
    lane.busy = true;
    lock.unlock();
    std::exception_ptr error;
    try {
        lane.source->fill(block.data(), kBlock);
    } catch (...) {
        error = std::current_exception();
    }
    lock.lock();
    lane.busy = false;
    if (error) {
        if (!error_)
            error_ = error;
    } else {
        lane.ready.push_back(std::move(block));
    }
    wake_.notify_all();
}

void PulseMerger::helperLoop()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        // The lane with the fewest blocks ahead that may take one more.
        Lane *best = nullptr;
        for (const auto &l : lanes_)
            if (!l->busy && l->ready.size() < kAhead && (!best || l->ready.size() < best->ready.size()))
                best = l.get();
        if (stop_ || error_)
            return;
        if (!best) {
            wake_.wait(lock);
            continue;
        }
        fillOne(*best, lock);
    }
}

void PulseMerger::nextBlock(Lane &lane)
{
    if (helpers_ == 0) {
        lane.source->fill(lane.current.data(), kBlock);
        lane.at = 0;
        return;
    }
    std::unique_lock lock(mutex_);
    if (threads_.empty())
        for (unsigned i = 0; i < helpers_; ++i)
            threads_.emplace_back([this] { helperLoop(); });
    // The helpers fill every lane ahead; while none is ready this thread
    // takes on what a source shares of its work. (Filling a lane here while
    // the helpers wait would leave them idle and make the two take turns
    // instead of working side by side.)
    while (lane.ready.empty()) {
        if (error_)
            std::rethrow_exception(error_);
        lock.unlock();
        bool helped = false;
        for (const auto &l : lanes_)
            helped = l->source->help() || helped;
        lock.lock();
        if (!helped && lane.ready.empty() && !error_)
            wake_.wait(lock);
    }
    lane.spare.push_back(std::move(lane.current));
    lane.current = std::move(lane.ready.front());
    lane.ready.pop_front();
    lane.at = 0;
    wake_.notify_all();
}

} // namespace vibrolan::sim

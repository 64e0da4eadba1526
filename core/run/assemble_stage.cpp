#include "run/assemble_stage.hpp"

#include "base/errors.hpp"
#include "run/fixed_format.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

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

class StagePass {
public:
    StagePass(TCfgDfm &cfg, std::size_t stage, TPulsePass &pass, const TPassProgress &progress)
        : cfg_(cfg), st_(cfg.Stages[stage]), stage_(stage), pass_(pass), progress_(progress),
          F_(static_cast<std::int64_t>(pass.FirstRec)),
          E_(static_cast<std::int64_t>(std::min<std::uint64_t>(pass.RecCount, pass.slotCount()))),
          tachoChan_(cfg.Sensors[st_.TachoComb.sensNumber].Chan), countBlade_(st_.CountBlade),
          countPairs_(std::min<std::size_t>(st_.CountPairs, kMaxPairs))
    {
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

private:
    TIndex rec(std::int64_t k) const { return pass_.record(static_cast<std::uint64_t>(k)); }

    // Every D-th tacho pulse counted from the end of the stream is a
    // candidate; the second candidate from the beginning starts the pass.
    std::int64_t findStartMark() const
    {
        const int D = std::max(1, pass_.TachoDivisor);
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
        const std::uint32_t firstTicks = rec(start).Ticks;
        const int D = std::max(1, pass_.TachoDivisor);
        const bool useDetector = pass_.TachoDivisor == 255 && pass_.Detector != nullptr;
        std::int64_t prev = start, n = 0;
        double wrapOffset = 0, runTime = 0;
        for (std::int64_t k = prev + 1; k < E_; ++k) {
            const TIndex r = rec(k);
            if (pass_.TimeDecoder && static_cast<int>(r.RCh()) == pass_.TimeChan)
                pass_.TimeDecoder->NewStick(r.Ticks);
            // The whole channel byte: a tacho record carrying bit 6 or 7 is no mark.
            if (r.Ch != tachoChan_)
                continue;
            bool mark;
            if (useDetector) {
                pass_.Detector->NewStick(r.Ticks);
                double threshold = 0;
                mark = pass_.Detector->IsTacho(threshold);
            } else {
                mark = n % D == 0;
            }
            ++n;
            if (!mark)
                continue;
            const std::int64_t cur = k;
            const TIndex recPrev = rec(prev);
            const std::int64_t Rev = r - recPrev;
            const std::int64_t Pitch = countBlade_ > 0 ? Rev / static_cast<std::int64_t>(countBlade_) : 0;
            const double Speed = Rev <= 0 ? 0.0 : pass_.SpeedFactor / static_cast<double>(Rev);
            if (r.Ticks < recPrev.Ticks || runTime < 0) {
                wrapOffset += kTwoPow32;
                runTime += (kTwoPow32 - recPrev.Ticks + r.Ticks) * pass_.TickPeriod;
            } else {
                runTime = (recPrev.Ticks + wrapOffset - firstTicks) * pass_.TickPeriod;
            }
            ++pass_.RevCount[stage_];
            if (cfg_.Range._From <= runTime && runTime <= cfg_.Range._To)
                for (std::size_t p = 0; p < countPairs_; ++p)
                    if (st_.Pairs[p].Checked)
                        pairRevolution(st_.Pairs[p], prev, cur, Rev, Pitch, Speed, runTime);
            prev = cur;
            if (progress_)
                progress_(E_, cur, runTime, Speed, distance_);
        }
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
        while (!(found = usable(j, chan)) && j < limit && j < last)
            ++j;
        return rec(j).Ticks;
    }

    void pairRevolution(TPair &p, std::int64_t prev, std::int64_t cur, std::int64_t Rev, std::int64_t Pitch,
                        double Speed, double runTime)
    {
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
            growTo(p, nb, withUts, (i / 1024 + 1) * 1024);
            p.Freq[i] = static_cast<float>(Speed);
            p.Time[i] = static_cast<float>(runTime);
            if (withUts)
                p.UTS_Time[i] = pass_.TimeDecoder->time();
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
            growTo(p, nb, withUts, static_cast<std::size_t>(p.Size) + 1024);
    }

    TCfgDfm &cfg_;
    TStage &st_;
    std::size_t stage_;
    TPulsePass &pass_;
    const TPassProgress &progress_;
    std::int64_t F_, E_;
    std::uint8_t tachoChan_;
    std::size_t countBlade_, countPairs_;
    double distance_ = 0;
};

} // namespace

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
    const TStage &st = cfg.Stages[stage];
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

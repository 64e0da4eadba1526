#include "identify/stage_samples.hpp"

#include "base/errors.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace vibrolan::identify {

StageSamples CollectStage(const TCfgDfm &cfg, int s)
{
    const TStage &stage = cfg.Stages[static_cast<std::size_t>(s)];
    StageSamples st;
    st.stage = s;
    st.blades = stage.CountBlade;
    st.diameter = stage.Diametr;
    struct Sample {
        double time, rpm;
        int pair;
        std::int32_t index;
    };
    std::vector<Sample> all;
    for (int p = 0; p < stage.CountPairs && p < static_cast<int>(stage.Pairs.size()); ++p) {
        const TPair &pair = stage.Pairs[static_cast<std::size_t>(p)];
        if (!pair.Checked || pair.Size <= 0)
            continue;
        const auto n = static_cast<std::size_t>(pair.Size);
        if (pair.Freq.size() < n || pair.Time.size() < n)
            throw ValueError("stage \"" + stage.NameStage + "\", pair \"" + pair.NamePair +
                             "\": the run left fewer speeds and times than revolutions");
        const int k = static_cast<int>(st.pairs.size());
        st.pairs.push_back(p);
        st.fiDeg.push_back(pair.fi);
        for (std::size_t i = 0; i < n; ++i) {
            const double t = pair.Time[i], f = pair.Freq[i];
            // A revolution without a finite positive speed cannot be placed on the grid.
            if (std::isfinite(t) && std::isfinite(f) && f > 0)
                all.push_back({t, f, k, static_cast<std::int32_t>(i)});
        }
    }
    const std::size_t P = st.pairs.size();
    st.index.assign(P, {});
    std::stable_sort(all.begin(), all.end(),
                     [](const Sample &a, const Sample &b) { return a.time < b.time; });
    // One grid point per revolution: samples within a third of a revolution
    // of the point's first sample belong to it.
    std::vector<std::vector<std::int32_t>> rows; // per revolution, per pair
    std::vector<double> rpmSum;
    std::vector<int> rpmCount;
    for (const Sample &x : all) {
        if (st.time.empty() || x.time - st.time.back() > 20.0 / st.rpm.back()) {
            st.time.push_back(x.time);
            st.rpm.push_back(x.rpm);
            rpmSum.push_back(0);
            rpmCount.push_back(0);
            for (auto &idx : st.index)
                idx.push_back(-1);
        }
        auto &slot = st.index[static_cast<std::size_t>(x.pair)].back();
        if (slot < 0) {
            slot = x.index;
            rpmSum.back() += x.rpm;
            ++rpmCount.back();
        }
    }
    const std::size_t R = st.time.size();
    st.step.assign(R, 0);
    for (std::size_t r = 0; r < R; ++r) {
        st.rpm[r] = rpmSum[r] / rpmCount[r];
        if (r + 1 < R) {
            const double revs = (st.time[r + 1] - st.time[r]) * st.rpm[r] / 60.0;
            st.step[r] = std::max(1, static_cast<int>(std::lround(revs)));
        }
    }
    return st;
}

void BladeDeflection(const TCfgDfm &cfg, const StageSamples &st, int b, std::vector<double> &y,
                     std::int64_t &dropped)
{
    BladeDeflection(cfg, st, b, 0, st.revolutions(), y, dropped);
}

void BladeDeflection(const TCfgDfm &cfg, const StageSamples &st, int b, std::size_t from, std::size_t to,
                     std::vector<double> &y, std::int64_t &dropped)
{
    const TStage &stage = cfg.Stages[static_cast<std::size_t>(st.stage)];
    const std::size_t P = st.pairs.size();
    to = std::min(to, st.revolutions());
    from = std::min(from, to);
    y.assign((to - from) * P, std::numeric_limits<double>::quiet_NaN());
    // A deflection of a whole blade pitch would have put the pulse on the next blade.
    const double limit = st.blades > 0 ? std::numbers::pi * std::fabs(st.diameter) / st.blades : 0;
    for (std::size_t k = 0; k < P; ++k) {
        const TPair &pair = stage.Pairs[static_cast<std::size_t>(st.pairs[k])];
        const auto series = pair.AmplSeries(static_cast<std::size_t>(b));
        const auto &idx = st.index[k];
        for (std::size_t r = from; r < to; ++r) {
            const std::int32_t i = idx[r];
            if (i < 0 || static_cast<std::size_t>(i) >= series.size())
                continue;
            const double v = series[static_cast<std::size_t>(i)];
            if (std::isfinite(v) && std::fabs(v) <= limit)
                y[(r - from) * P + k] = v;
            else
                ++dropped;
        }
    }
}

namespace {

// Slot b's pass at pair slot k from that pair's settings alone (see
// ArrivalFraction): right up to a part of a pitch common to the pair's blades.
double ownPassTime(const TCfgDfm &cfg, const StageSamples &st, std::size_t k, int b)
{
    const TStage &stage = cfg.Stages[static_cast<std::size_t>(st.stage)];
    const TPair &pair = stage.Pairs[static_cast<std::size_t>(st.pairs[k])];
    const int n = std::max(1, st.blades);
    const auto ub = static_cast<std::size_t>(b);
    // After the run (OrderBlades) slot b holds blade number b: its pulse
    // position is where the pair's numbering names it.
    int pos = b;
    for (int q = 0; q < n && q < static_cast<int>(pair.NumberBlade.size()); ++q)
        if (pair.NumberBlade[static_cast<std::size_t>(q)] == b) {
            pos = q;
            break;
        }
    const double revolution = ub < kMaxBlades ? std::max(0, pair.AmplOffs[ub] / 4) : 0;
    const double shift = std::isfinite(pair.TachoShift) ? pair.TachoShift / 360.0 : 0.0;
    const double circ = std::numbers::pi * std::fabs(st.diameter);
    const double mean = ub < 256 ? pair.Mean[ub] : 0.0;
    const double lag = circ > 0 && std::isfinite(mean) ? mean / circ : 0.0;
    return revolution + shift + (std::min(pos, n - 1) + 0.5) / n + lag;
}

} // namespace

double ArrivalFraction(const TCfgDfm &cfg, const StageSamples &st, int k, int b)
{
    const double first = ownPassTime(cfg, st, 0, b);
    if (k == 0)
        return first;
    const auto uk = static_cast<std::size_t>(k);
    const double d = (st.fiDeg[uk] - st.fiDeg[0]) / 360.0;
    return first + d + std::round(ownPassTime(cfg, st, uk, b) - first - d);
}

} // namespace vibrolan::identify

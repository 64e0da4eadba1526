#include "plots/blade_locations.hpp"

#include "base/histogram.hpp"

#include <algorithm>
#include <span>

namespace vibrolan::app {

namespace {

// Calls f(stage, pair, slot) in list order until it returns false.
template <class F> void forEachSlot(const TCfgDfm &cfg, F f)
{
    const std::size_t stages = std::min<std::size_t>(cfg.CountStage, kMaxStages);
    for (std::size_t s = 0; s < stages; ++s) {
        const TStage &st = cfg.Stages[s];
        const std::size_t blades = std::min<std::size_t>(st.CountBlade, kMaxBlades);
        for (std::size_t p = 0; p < kMaxPairs; ++p) {
            if (!st.Pairs[p].Checked)
                continue;
            for (std::size_t b = 0; b < blades; ++b)
                if (!f(s, p, b))
                    return;
        }
    }
}

std::span<const float> seriesOf(const LazyArray<TArrSingle, kMaxBlades> &a, std::size_t b)
{
    return a.allocated() ? std::span<const float>(a[b]) : std::span<const float>();
}

} // namespace

QStringList BladeListEntries(const TCfgDfm &cfg)
{
    QStringList out;
    forEachSlot(cfg, [&](std::size_t s, std::size_t p, std::size_t b) {
        out << QString::fromStdString(cfg.Stages[s].NameStage) + QLatin1Char(':') +
                   QString::fromStdString(cfg.Stages[s].Pairs[p].NamePair) + QStringLiteral(":Лопатка") +
                   QString::number(b + 1);
        return true;
    });
    return out;
}

bool GetLocationByIndex(const TCfgDfm &cfg, std::uint16_t Index, BladeLocation &loc)
{
    std::size_t n = 0;
    bool found = false;
    forEachSlot(cfg, [&](std::size_t s, std::size_t p, std::size_t b) {
        if (n++ != Index)
            return true;
        loc = {static_cast<std::uint16_t>(s), static_cast<std::uint16_t>(p), static_cast<std::uint16_t>(b)};
        found = true;
        return false;
    });
    return found;
}

BladeCurves GetXYByLocation(const TCfgDfm &cfg, BladeLocation loc, TMode Mode, int kind,
                            std::uint32_t MsrPoint, bool AxesTaho, double freqDivisor)
{
    BladeCurves out;
    if (MsrPoint == 0 || loc.stage >= kMaxStages || loc.pair >= kMaxPairs || loc.blade >= kMaxBlades)
        return out;
    const TPair &pr = cfg.Stages[loc.stage].Pairs[loc.pair];
    const std::size_t b = loc.blade;
    const std::span<const float> ampl = pr.AmplSeries(b);
    const std::span<const float> time(pr.Time);
    const std::span<const float> freq(pr.Freq);
    const bool freqX = Mode == TMode::mdDynamic && AxesTaho;
    const std::span<const float> xs = freqX ? freq : time;
    auto X = [&](std::size_t i) { return freqX ? static_cast<float>(xs[i] / freqDivisor) : xs[i]; };

    // How many points all the arrays a kind reads can give.
    auto limit = [&](std::initializer_list<std::size_t> sizes) {
        std::size_t n = MsrPoint;
        for (std::size_t s : sizes)
            n = std::min(n, s);
        return n;
    };

    if (Mode == TMode::mdStatic && kind == 5) {
        const auto &h = pr.histgrms.allocated() ? pr.histgrms[b] : nullptr;
        if (!h)
            return out;
        const int bins = std::min(100, h->Ns());
        for (int i = 0; i < bins && static_cast<std::size_t>(i) < h->bounds().size(); ++i) {
            const float x = static_cast<float>(h->bounds()[static_cast<std::size_t>(i)]);
            out.xyData.push_back({x, h->readdens(i)});
            out.FitData.push_back({x, 0});
        }
        return out;
    }
    if (Mode == TMode::mdDynamic && kind == 5) {
        const auto &idx =
            pr.CmprssResnceCurve.allocated() ? pr.CmprssResnceCurve[b] : std::vector<std::uint32_t>{};
        const auto res = seriesOf(pr.ResonanceCurve, b);
        const std::size_t count = std::min<std::size_t>(std::max(0, pr.CountInterval), idx.size());
        for (std::size_t j = 0; j < count; ++j) {
            const std::size_t m = idx[j];
            if (m >= res.size() || m >= xs.size())
                continue;
            const TAPoint p{X(m), res[m]};
            out.xyData.push_back(p);
            out.FitData.push_back(p);
        }
        return out;
    }
    if (kind == 6)
        return out;

    const auto middle = seriesOf(pr.MiddleLine, b);
    const auto velocity = seriesOf(pr.Velocity, b);
    const auto stress = seriesOf(pr.Stress, b);
    const auto resonance = seriesOf(pr.ResonanceCurve, b);
    const auto stall = seriesOf(pr.StallingOscill, b);
    const bool withStall = Mode == TMode::mdDynamic && (kind == 3 || kind == 4);
    std::size_t n = 0;
    switch (kind) {
    case 0:
        n = limit({xs.size(), ampl.size(), middle.size()});
        break;
    case 1:
        n = limit({xs.size(), ampl.size()});
        break;
    case 2:
        n = limit({xs.size(), velocity.size()});
        break;
    default:
        n = withStall ? limit({xs.size(), stress.size(), resonance.size(), stall.size()})
                      : limit({xs.size(), stress.size()});
        break;
    }
    out.xyData.reserve(n);
    out.FitData.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const float x = X(i);
        switch (kind) {
        case 0:
            out.xyData.push_back({x, ampl[i] + middle[i]});
            out.FitData.push_back({x, middle[i]});
            break;
        case 1:
            out.xyData.push_back({x, ampl[i]});
            out.FitData.push_back({x, 0});
            break;
        case 2:
            out.xyData.push_back({x, velocity[i]});
            out.FitData.push_back({x, 0});
            break;
        default:
            out.xyData.push_back({x, stress[i]});
            out.FitData.push_back({x, withStall ? resonance[i] : 0.0f});
            if (withStall)
                out.StallData.push_back({x, stall[i]});
            break;
        }
    }
    return out;
}

} // namespace vibrolan::app
